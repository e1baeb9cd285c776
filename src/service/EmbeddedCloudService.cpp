#include "service/EmbeddedCloudService.h"
#include "foundation/ParallelFor.h"
#include "service/BlobStore.h"
#include "service/CommitGroup.h"
#include "service/ServiceInternal.h"
#include "storage/DataPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

namespace nubo {

using namespace service_detail;

namespace service_detail {

int categoryOf(const QString& name) {
    const QString ext = QFileInfo(name).suffix().toLower();
    static const QStringList images = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                       QStringLiteral("gif"), QStringLiteral("bmp"),  QStringLiteral("webp"),
                                       QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("heic")};
    static const QStringList docs = {QStringLiteral("txt"),  QStringLiteral("pdf"),  QStringLiteral("doc"),
                                     QStringLiteral("docx"), QStringLiteral("xls"),  QStringLiteral("xlsx"),
                                     QStringLiteral("ppt"),  QStringLiteral("pptx"), QStringLiteral("md")};
    static const QStringList videos = {QStringLiteral("mp4"), QStringLiteral("mov"), QStringLiteral("avi"),
                                       QStringLiteral("mkv"), QStringLiteral("wmv")};
    static const QStringList audio = {QStringLiteral("mp3"), QStringLiteral("wav"), QStringLiteral("flac"),
                                      QStringLiteral("aac"), QStringLiteral("ogg")};
    if (images.contains(ext))
        return 1;
    if (docs.contains(ext))
        return 2;
    if (videos.contains(ext))
        return 3;
    if (audio.contains(ext))
        return 4;
    return 0;
}

} // namespace service_detail

namespace {

qint32 now() {
    return qint32(QDateTime::currentSecsSinceEpoch());
}

// A page of at least this many nodes is read in parts on several cores, by at most this many.
constexpr int kSplitPageRows = 8192;
constexpr int kPageReaders = 4;

BWError notFound(qint64 nid) {
    return cloudError(kCloudErrorNotFound, QStringLiteral("文件不存在或已被删除(%1)").arg(nid));
}

BWError nameExists(const QString& name) {
    return cloudError(kCloudErrorNameExists, QStringLiteral("已存在同名文件：%1").arg(name));
}

// "/a//b/" -> "/a/b"; empty when the path is not absolute or has an empty, "." or ".." part.
QString normalizePath(const QString& path) {
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& p : parts)
        if (p == QLatin1String(".") || p == QLatin1String(".."))
            return {};
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

// Said with the file, so that the user knows what is damaged; it is left as it is.
BWError unopenable(const QString& dbPath, const BWError& why) {
    return cloudError(kCloudErrorStorage,
                      QStringLiteral("无法打开文件数据库“%1”：%2").arg(dbPath, why.localizedDescription()));
}

BWError unsound(const QString& dbPath, const QString& verdict) {
    return unopenable(
        dbPath, BWError::application(kStorageErrorCorrupt, QStringLiteral("数据库已损坏：%1").arg(verdict)));
}

} // namespace

// ---- opening

EmbeddedCloudService::EmbeddedCloudService(QString folder, std::unique_ptr<Database> db,
                                           std::unique_ptr<BlobStore> blobs)
    : m_folder(std::move(folder)), m_db(std::move(db)), m_blobs(std::move(blobs)),
      m_commits(std::make_unique<CommitGroup>(*m_db, *m_blobs)) {}

EmbeddedCloudService::~EmbeddedCloudService() {
    if (m_check.valid())
        m_check.wait();
}

Result<std::shared_ptr<EmbeddedCloudService>> EmbeddedCloudService::open(const QString& folder) {
    using R = Result<std::shared_ptr<EmbeddedCloudService>>;
    // The message names the folder at fault: the block folder may be the one that cannot be made.
    for (const QString& f : {folder, QString(folder + QStringLiteral("/blocks"))})
        if (!paths::makePrivateFolder(f))
            return R::failure(cloudError(kCloudErrorStorage, QStringLiteral("无法创建服务目录：%1").arg(f)));
    Database::Options options;
    options.durability = Database::Durability::Full;
    // The service's database holds the user's files: an unsound one is reported, never replaced.
    const QString dbPath = QDir(folder).filePath(QStringLiteral("service.db"));
    // Checking a large file takes about half a second: a file made before is checked beside the
    // first calls (which wait for the verdict), a new one at once.
    options.checkIntegrity = false;
    auto db = Database::open(dbPath, options);
    bool made = false;
    if (db.ok()) {
        made = db.value->tableExists(QStringLiteral("nodes"));
        if (!made || !db.value->tableExists(QStringLiteral("account"))) {
            const QString verdict = db.value->integrityCheck(true);
            if (verdict != QLatin1String("ok"))
                return R::failure(unsound(dbPath, verdict));
            made = false;
        }
    }
    if (!db.ok())
        return R::failure(unopenable(dbPath, db.error));
    auto blobs = std::make_unique<BlobStore>(folder + QStringLiteral("/blocks"));
    blobs->removeLeftovers();
    std::shared_ptr<EmbeddedCloudService> s(
        new EmbeddedCloudService(folder, std::move(db.value), std::move(blobs)));
    if (!made) {
        std::call_once(s->m_checked, [&] { s->m_unsound = s->createSchema(); });
        if (s->m_unsound)
            return R::failure(storageFailure(s->m_unsound));
        return R{s, {}};
    }
    // The account names the user's own files, read before anything else: its table is checked
    // alone at once.
    s->m_accountSound = s->m_db->integrityCheck(true, QStringLiteral("account")) == QLatin1String("ok");
    options.cacheSizeKiB = 2048;
    s->m_check = std::async(std::launch::async, [dbPath, options] {
        auto checker = Database::open(dbPath, options);
        return checker.ok() ? checker.value->integrityCheck(true) : checker.error.localizedDescription();
    });
    return R{s, {}};
}

BWError EmbeddedCloudService::awaitSound() {
    std::call_once(m_checked, [this] {
        const QString verdict = m_check.get();
        if (verdict != QLatin1String("ok"))
            m_unsound = unsound(m_db->path(), verdict);
        else if (BWError err = createSchema())
            m_unsound = storageFailure(err);
    });
    return m_unsound;
}

BWError EmbeddedCloudService::createSchema() {
    Database::Transaction t(*m_db);
    if (t.error())
        return t.error();
    BWError err = m_db->exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value INTEGER NOT NULL);"
        "INSERT OR IGNORE INTO meta (key, value) VALUES ('version', 0);"
        "CREATE TABLE IF NOT EXISTS account (id INTEGER PRIMARY KEY CHECK (id = 0), user_id TEXT NOT NULL,"
        " enterprise_id TEXT NOT NULL, detail TEXT NOT NULL);"
        "CREATE TABLE IF NOT EXISTS nodes (nid INTEGER PRIMARY KEY, pid INTEGER NOT NULL, name TEXT NOT NULL,"
        " path TEXT NOT NULL, is_dir INTEGER NOT NULL, size INTEGER NOT NULL DEFAULT 0,"
        " mtime INTEGER NOT NULL DEFAULT 0, ctime INTEGER NOT NULL DEFAULT 0,"
        " category INTEGER NOT NULL DEFAULT 0,"
        " file_hash TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 0,"
        " is_link INTEGER NOT NULL DEFAULT 0, is_sync INTEGER NOT NULL DEFAULT 0,"
        " is_edit_lock INTEGER NOT NULL DEFAULT 0, frozen INTEGER NOT NULL DEFAULT 0,"
        " version INTEGER NOT NULL DEFAULT 0);"
        "CREATE UNIQUE INDEX IF NOT EXISTS nodes_live_name ON nodes(pid, name) WHERE status = 0;"
        "CREATE INDEX IF NOT EXISTS nodes_live_path ON nodes(path) WHERE status = 0;"
        "CREATE INDEX IF NOT EXISTS nodes_version ON nodes(version);"
        "INSERT OR IGNORE INTO nodes (nid, pid, name, path, is_dir) VALUES (0, -1, '/', '/', 1);"
        "CREATE TABLE IF NOT EXISTS blocks (sha1 TEXT PRIMARY KEY, size INTEGER NOT NULL) WITHOUT ROWID;"
        "CREATE TABLE IF NOT EXISTS file_blocks (nid INTEGER NOT NULL, idx INTEGER NOT NULL,"
        " sha1 TEXT NOT NULL, PRIMARY KEY (nid, idx)) WITHOUT ROWID;"
        "CREATE TABLE IF NOT EXISTS uploads (upload_id TEXT PRIMARY KEY, pid INTEGER NOT NULL,"
        " name TEXT NOT NULL, size INTEGER NOT NULL, sha1 TEXT NOT NULL, block_list TEXT NOT NULL,"
        " ctime INTEGER NOT NULL);"
        "CREATE TABLE IF NOT EXISTS recycle (rid INTEGER PRIMARY KEY, nid INTEGER NOT NULL,"
        " path TEXT NOT NULL, dtime INTEGER NOT NULL);"
        "CREATE TABLE IF NOT EXISTS shares (sid INTEGER PRIMARY KEY, shorturl TEXT NOT NULL UNIQUE,"
        " password TEXT NOT NULL DEFAULT '', expire INTEGER NOT NULL, expire_id TEXT NOT NULL,"
        " status INTEGER NOT NULL DEFAULT 0, name TEXT NOT NULL, fpath TEXT NOT NULL,"
        " link_type INTEGER NOT NULL, count_size INTEGER NOT NULL, nids_md5 TEXT NOT NULL,"
        " ctime INTEGER NOT NULL, mtime INTEGER NOT NULL);"
        "CREATE TABLE IF NOT EXISTS share_nodes (sid INTEGER NOT NULL, nid INTEGER NOT NULL,"
        " PRIMARY KEY (sid, nid)) WITHOUT ROWID;"
        "CREATE INDEX IF NOT EXISTS share_nodes_nid ON share_nodes(nid);"
        "CREATE TABLE IF NOT EXISTS block_bytes (sha1 TEXT PRIMARY KEY, data BLOB NOT NULL);"));
    if (err)
        return err;
    Query has = m_db->query(QStringLiteral("SELECT 1 FROM account WHERE id = 0"));
    const bool present = has.next();
    if (has.error())
        return has.error();
    if (!present) {
        const QVariantMap detail{{QStringLiteral("is_admin"), false}, {QStringLiteral("is_person"), true},
                                 {QStringLiteral("package_id"), 2},   {QStringLiteral("expire_day"), 0},
                                 {QStringLiteral("is_vip"), false},   {QStringLiteral("expire_status"), 0}};
        Query ins = m_db->query(QStringLiteral(
            "INSERT INTO account (id, user_id, enterprise_id, detail) VALUES (0, '1', '0', ?)"));
        const QString json = QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(detail)).toJson());
        if (BWError e = ins.bind(1, json).exec())
            return e;
    }
    return t.commit();
}

// ---- fault injection

BWError EmbeddedCloudService::enterOp(ServiceOp op) {
    if (!(op == ServiceOp::Account && m_accountSound))
        if (BWError err = awaitSound())
            return err;
    int delay = 0;
    BWError fail;
    {
        std::unique_lock lock(m_faultMutex);
        if (m_held.contains(int(op))) {
            ++m_waitingAtGate[int(op)];
            m_released.wait(lock, [&] { return !m_held.contains(int(op)); });
            --m_waitingAtGate[int(op)];
        }
        if (auto it = m_passesBeforeHold.find(int(op)); it != m_passesBeforeHold.end() && --*it <= 0) {
            m_passesBeforeHold.erase(it);
            m_held.insert(int(op));
        }
        delay = m_delays.value(int(op));
        auto it = m_failures.find(int(op));
        if (it != m_failures.end() && it->first > 0) {
            fail = it->second;
            if (--it->first == 0)
                m_failures.erase(it);
        }
    }
    if (delay > 0)
        QThread::msleep(ulong(delay));
    return fail;
}

void EmbeddedCloudService::failNext(ServiceOp op, int count, const BWError& error) {
    std::lock_guard lock(m_faultMutex);
    if (count <= 0)
        m_failures.remove(int(op));
    else
        m_failures.insert(int(op), qMakePair(count, error));
}

void EmbeddedCloudService::setDelay(ServiceOp op, int ms) {
    std::lock_guard lock(m_faultMutex);
    if (ms <= 0)
        m_delays.remove(int(op));
    else
        m_delays.insert(int(op), ms);
}

void EmbeddedCloudService::setHeld(ServiceOp op, bool held) {
    std::lock_guard lock(m_faultMutex);
    if (held) {
        m_held.insert(int(op));
        return;
    }
    // A release also ends a hold that setHeldAfter has not begun yet: a test releasing before
    // the last pass went through would otherwise find its calls held for good.
    m_passesBeforeHold.remove(int(op));
    if (m_held.remove(int(op)))
        m_released.notify_all();
}

int EmbeddedCloudService::heldCalls(ServiceOp op) {
    std::lock_guard lock(m_faultMutex);
    return m_waitingAtGate.value(int(op));
}

void EmbeddedCloudService::setHeldAfter(ServiceOp op, int passes) {
    std::lock_guard lock(m_faultMutex);
    if (passes <= 0)
        m_held.insert(int(op));
    else
        m_passesBeforeHold.insert(int(op), passes);
}

void EmbeddedCloudService::clearFaults() {
    std::lock_guard lock(m_faultMutex);
    m_failures.clear();
    m_delays.clear();
    m_held.clear();
    m_passesBeforeHold.clear();
    m_released.notify_all();
}

BWError EmbeddedCloudService::setFlag(qint64 nid, const char* column, bool on) {
    if (BWError err = awaitSound())
        return err;
    Database::Transaction t(*m_db);
    if (t.error())
        return storageFailure(t.error());
    auto n = liveNode(nid);
    if (!n.ok())
        return n.error;
    auto v = nextVersion();
    if (!v.ok())
        return v.error;
    Query q = m_db->query(
        QStringLiteral("UPDATE nodes SET %1 = ?, version = ? WHERE nid = ?").arg(QLatin1String(column)));
    if (BWError err = q.bind(1, int(on)).bind(2, v.value).bind(3, nid).exec())
        return storageFailure(err);
    if (BWError err = t.commit())
        return storageFailure(err);
    return {};
}

BWError EmbeddedCloudService::setSyncLocked(qint64 nid, bool locked) {
    return setFlag(nid, "is_sync", locked);
}
BWError EmbeddedCloudService::setEditLocked(qint64 nid, bool locked) {
    return setFlag(nid, "is_edit_lock", locked);
}

BWError EmbeddedCloudService::setFrozen(qint64 nid, bool frozen) {
    if (BWError err = awaitSound())
        return err;
    auto n = liveNode(nid);
    if (!n.ok())
        return n.error;
    if (n.value.isDir)
        return cloudError(kCloudErrorNotFile, QStringLiteral("只有文件可以冻结"));
    Query q = m_db->query(QStringLiteral("UPDATE nodes SET frozen = ? WHERE nid = ?"));
    if (BWError err = q.bind(1, int(frozen)).bind(2, nid).exec())
        return storageFailure(err);
    return {};
}

// ---- account

Result<ServiceAccount> EmbeddedCloudService::account() {
    using R = Result<ServiceAccount>;
    if (BWError err = enterOp(ServiceOp::Account))
        return R::failure(err);
    Query q = m_db->query(QStringLiteral("SELECT user_id, enterprise_id, detail FROM account WHERE id = 0"));
    if (!q.next())
        return R::failure(storageFailure(
            q.error() ? q.error() : BWError::application(kStorageErrorSql, QStringLiteral("账户信息缺失"))));
    ServiceAccount a;
    a.userId = q.text(0);
    a.enterpriseId = q.text(1);
    a.userDetail = QJsonDocument::fromJson(q.text(2).toUtf8()).object().toVariantMap();
    return {a, {}};
}

BWError EmbeddedCloudService::setAccount(const ServiceAccount& account) {
    if (BWError err = awaitSound())
        return err;
    const QString json =
        QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(account.userDetail)).toJson());
    Query q = m_db->query(
        QStringLiteral("UPDATE account SET user_id = ?, enterprise_id = ?, detail = ? WHERE id = 0"));
    if (BWError err = q.bind(1, account.userId).bind(2, account.enterpriseId).bind(3, json).exec())
        return storageFailure(err);
    return {};
}

// ---- reads

Query EmbeddedCloudService::nodeQuery(const QString& where) {
    return m_db->query(QStringLiteral("SELECT ") + nodeColumns() + QStringLiteral(" FROM nodes WHERE ") +
                       where);
}

Result<ServiceNode> EmbeddedCloudService::loadNode(qint64 nid) {
    Query q = nodeQuery(QStringLiteral("nid = ?"));
    q.bind(1, nid);
    if (q.next())
        return {readNodeRow(q), {}};
    return Result<ServiceNode>::failure(q.error() ? storageFailure(q.error()) : notFound(nid));
}

Result<ServiceNode> EmbeddedCloudService::liveNode(qint64 nid) {
    auto r = loadNode(nid);
    if (r.ok() && r.value.isDeleted())
        return Result<ServiceNode>::failure(notFound(nid));
    return r;
}

Result<ServiceNode> EmbeddedCloudService::liveFolder(qint64 nid) {
    auto r = liveNode(nid);
    if (r.ok() && !r.value.isDir)
        return Result<ServiceNode>::failure(
            cloudError(kCloudErrorNotFolder, QStringLiteral("目标不是文件夹：%1").arg(r.value.name)));
    return r;
}

Result<qint64> EmbeddedCloudService::childIdByName(qint64 pid, const QString& name) {
    Query q = m_db->query(QStringLiteral("SELECT nid FROM nodes WHERE pid = ? AND name = ? AND status = 0"));
    q.bind(1, pid).bind(2, name);
    Result<qint64> r;
    r.value = q.next() ? q.int64(0) : -1;
    if (q.error())
        r.error = storageFailure(q.error());
    return r;
}

Result<qint64> EmbeddedCloudService::nextVersion() {
    Query up = m_db->query(QStringLiteral("UPDATE meta SET value = value + 1 WHERE key = 'version'"));
    if (BWError err = up.exec())
        return Result<qint64>::failure(storageFailure(err));
    return currentVersion();
}

Result<qint64> EmbeddedCloudService::currentVersion() {
    if (BWError err = awaitSound())
        return Result<qint64>::failure(err);
    Query q = m_db->query(QStringLiteral("SELECT value FROM meta WHERE key = 'version'"));
    Result<qint64> r;
    if (q.next())
        r.value = q.int64(0);
    else
        r.error = storageFailure(q.error());
    return r;
}

Result<NodePage> EmbeddedCloudService::fetchAllNodes(qint64 afterNid, int limit) {
    using R = Result<NodePage>;
    if (BWError err = enterOp(ServiceOp::FetchAll))
        return R::failure(err);
    if (limit < 1 || limit > 100000 || afterNid < 0)
        return R::failure(cloudError(kCloudErrorInvalidArgument, QStringLiteral("参数错误")));
    // One lock for the version and the page, so the page is no older than the version.
    Database::Transaction t(*m_db);
    auto v = currentVersion();
    if (!v.ok())
        return R::failure(v.error);
    NodePage page;
    page.version = v.value;
    qint64 lastNid = afterNid;
    {
        Query q = m_db->query(QStringLiteral("SELECT max(nid) FROM nodes"));
        if (q.next())
            lastNid = q.int64(0);
        if (q.error())
            return R::failure(storageFailure(q.error()));
    }
    page.nodes.reserve(limit);
    for (qint64 from = afterNid + 1; page.nodes.size() < limit && from <= lastNid;) {
        const qint64 wanted = limit - page.nodes.size();
        if (wanted < kSplitPageRows || lastNid - from < kSplitPageRows) {
            Query q = nodeQuery(QStringLiteral("nid >= ? AND status = 0 ORDER BY nid LIMIT ?"));
            q.bind(1, from).bind(2, wanted);
            if (BWError err = readNodeRows(q, page.nodes))
                return R::failure(err);
            break;
        }
        // A span of as many ids as nodes wanted holds no more nodes than that, so the parts never
        // read past the page; ids gone or never given leave the rest to the next round.
        const qint64 to = std::min(lastNid, from + wanted - 1);
        if (BWError err = readLiveNodesInParts(from, to, page.nodes))
            return R::failure(err);
        from = to + 1;
    }
    page.hasMore = page.nodes.size() == limit;
    page.next = page.nodes.isEmpty() ? afterNid : page.nodes.last().nid;
    return {std::move(page), {}};
}

BWError EmbeddedCloudService::readLiveNodesInParts(qint64 from, qint64 to, NodeList& out) {
    const int parts = int(std::min<qint64>(kPageReaders, (to - from + 1) / (kSplitPageRows / 2)));
    while (m_readers.size() < size_t(parts)) {
        Database::Options options;
        options.checkIntegrity = false; // the main connection's check covers the file
        options.cacheSizeKiB = 2048;    // each reads its rows once
        auto reader = Database::open(m_db->path(), options);
        if (!reader.ok())
            return storageFailure(reader.error);
        m_readers.push_back(std::move(reader.value));
    }
    // Nothing commits while the main connection holds its transaction, so every reader sees the
    // state it sees.
    std::vector<NodeList> rows(static_cast<size_t>(parts));
    std::vector<BWError> errors(static_cast<size_t>(parts));
    parallelFor(parts, [&](int part) {
        auto start = [&](int k) { return from + qint64(__int128(to - from + 1) * k / parts); };
        Query q = m_readers[size_t(part)]->query(QStringLiteral("SELECT ") + nodeColumns() +
                                                 QStringLiteral(" FROM nodes WHERE nid >= ? AND nid < ? AND "
                                                                "status = 0 ORDER BY nid"));
        q.bind(1, start(part)).bind(2, start(part + 1));
        rows[size_t(part)].reserve(start(part + 1) - start(part)); // no more nodes than ids
        errors[size_t(part)] = readNodeRows(q, rows[size_t(part)]);
    });
    for (size_t i = 0; i < rows.size(); ++i) {
        if (errors[i])
            return errors[i];
        out.append(std::move(rows[i]));
    }
    return {};
}

Result<NodePage> EmbeddedCloudService::fetchChanges(qint64 sinceVersion, int limit) {
    using R = Result<NodePage>;
    if (BWError err = enterOp(ServiceOp::FetchChanges))
        return R::failure(err);
    if (limit < 1 || limit > 100000 || sinceVersion < 0)
        return R::failure(cloudError(kCloudErrorInvalidArgument, QStringLiteral("参数错误")));
    Database::Transaction t(*m_db);
    auto v = currentVersion();
    if (!v.ok())
        return R::failure(v.error);
    NodePage page;
    page.version = v.value;
    {
        Query q = nodeQuery(QStringLiteral("version > ? AND nid > 0 ORDER BY version, nid LIMIT ?"));
        q.bind(1, sinceVersion).bind(2, limit);
        if (BWError err = readNodeRows(q, page.nodes))
            return R::failure(err);
    }
    page.hasMore = page.nodes.size() == limit;
    if (page.hasMore) {
        // A page never ends inside one version, so the cursor never skips part of a change.
        const qint64 last = page.nodes.last().version;
        if (page.nodes.first().version == last) {
            Query rest = nodeQuery(QStringLiteral("version = ? AND nid > ? ORDER BY nid"));
            rest.bind(1, last).bind(2, page.nodes.last().nid);
            if (BWError err = readNodeRows(rest, page.nodes))
                return R::failure(err);
        } else {
            while (page.nodes.last().version == last)
                page.nodes.removeLast();
        }
    }
    // Everything up to the version read was in this page unless it was cut: then the cursor may
    // move to that version even when the last changes touched no node.
    page.next = page.hasMore ? page.nodes.last().version : qMax(page.version, sinceVersion);
    page.hasMore = page.next < page.version;
    return {std::move(page), {}};
}

Result<ServiceNode> EmbeddedCloudService::node(qint64 nid) {
    if (BWError err = enterOp(ServiceOp::Lookup))
        return Result<ServiceNode>::failure(err);
    return liveNode(nid);
}

Result<ServiceNode> EmbeddedCloudService::nodeByPath(const QString& path) {
    using R = Result<ServiceNode>;
    if (BWError err = enterOp(ServiceOp::Lookup))
        return R::failure(err);
    const QString p = normalizePath(path);
    if (p.isEmpty())
        return R::failure(cloudError(kCloudErrorInvalidArgument, QStringLiteral("路径无效：%1").arg(path)));
    Query q = nodeQuery(QStringLiteral("path = ? AND status = 0"));
    q.bind(1, p);
    if (q.next())
        return {readNodeRow(q), {}};
    return R::failure(q.error() ? storageFailure(q.error())
                                : cloudError(kCloudErrorNotFound, QStringLiteral("文件不存在：%1").arg(p)));
}

Result<NodeList> EmbeddedCloudService::children(qint64 folderId) {
    using R = Result<NodeList>;
    if (BWError err = enterOp(ServiceOp::Lookup))
        return R::failure(err);
    auto f = liveFolder(folderId);
    if (!f.ok())
        return R::failure(f.error);
    Query q = nodeQuery(QStringLiteral("pid = ? AND status = 0 AND nid > 0 ORDER BY name"));
    q.bind(1, folderId);
    R r;
    r.error = readNodeRows(q, r.value);
    return r;
}

// ---- tree operations

Result<ServiceNode> EmbeddedCloudService::createFolder(qint64 parentId, const QString& name) {
    using R = Result<ServiceNode>;
    if (BWError err = enterOp(ServiceOp::CreateFolder))
        return R::failure(err);
    if (BWError err = validateName(name))
        return R::failure(err);
    Database::Transaction t(*m_db);
    if (t.error())
        return R::failure(storageFailure(t.error()));
    auto parent = liveFolder(parentId);
    if (!parent.ok())
        return R::failure(parent.error);
    auto existing = childIdByName(parentId, name);
    if (!existing.ok())
        return R::failure(existing.error);
    if (existing.value >= 0)
        return R::failure(nameExists(name));
    auto v = nextVersion();
    if (!v.ok())
        return R::failure(v.error);
    const qint32 ts = now();
    Query q = m_db->query(QStringLiteral("INSERT INTO nodes (pid, name, path, is_dir, mtime, ctime, version)"
                                         " VALUES (?, ?, ?, 1, ?, ?, ?)"));
    q.bind(1, parentId).bind(2, name).bind(3, childPath(parent.value.path, name)).bind(4, ts).bind(5, ts);
    if (BWError err = q.bind(6, v.value).exec())
        return R::failure(storageFailure(err));
    const qint64 nid = m_db->lastInsertId();
    auto created = loadNode(nid);
    if (!created.ok())
        return created;
    if (BWError err = t.commit())
        return R::failure(storageFailure(err));
    return created;
}

Result<ServiceNode> EmbeddedCloudService::createFolderAtPath(const QString& path) {
    using R = Result<ServiceNode>;
    const QString p = normalizePath(path);
    if (p.isEmpty() || p == QLatin1String("/"))
        return R::failure(cloudError(kCloudErrorInvalidArgument, QStringLiteral("路径无效：%1").arg(path)));
    const int cut = int(p.lastIndexOf(QLatin1Char('/')));
    const QString parentPath = cut == 0 ? QStringLiteral("/") : p.left(cut);
    qint64 parentId = kRootId;
    if (parentPath != QLatin1String("/")) {
        Query q = m_db->query(QStringLiteral("SELECT nid FROM nodes WHERE path = ? AND status = 0"));
        q.bind(1, parentPath);
        if (!q.next())
            return R::failure(q.error() ? storageFailure(q.error())
                                        : cloudError(kCloudErrorNotFound,
                                                     QStringLiteral("上级文件夹不存在：%1").arg(parentPath)));
        parentId = q.int64(0);
    }
    return createFolder(parentId, p.mid(cut + 1));
}

Result<ServiceNode> EmbeddedCloudService::rename(qint64 nid, const QString& newName) {
    using R = Result<ServiceNode>;
    if (BWError err = enterOp(ServiceOp::Rename))
        return R::failure(err);
    if (BWError err = validateName(newName))
        return R::failure(err);
    if (nid == kRootId)
        return R::failure(cloudError(kCloudErrorRootRefused, QStringLiteral("不能操作根目录")));
    auto n = liveNode(nid);
    if (!n.ok())
        return n;
    return relocate(nid, n.value.pid, newName);
}

Result<ServiceNode> EmbeddedCloudService::move(qint64 nid, qint64 newParentId, const QString& newName) {
    if (BWError err = enterOp(ServiceOp::Move))
        return Result<ServiceNode>::failure(err);
    return relocate(nid, newParentId, newName);
}

// Checks that `node` may go into `dest` under `name`: not the root, not into its own subtree,
// a valid name that is free there (or taken by the node itself).
BWError EmbeddedCloudService::checkPlacement(const ServiceNode& node, const ServiceNode& dest,
                                             const QString& name, bool allowSelf) {
    if (node.nid == kRootId)
        return cloudError(kCloudErrorRootRefused, QStringLiteral("不能操作根目录"));
    if (BWError err = validateName(name))
        return err;
    if (node.isDir && (dest.nid == node.nid || dest.path.startsWith(subtreeLow(node.path))))
        return cloudError(kCloudErrorMoveIntoSelf, QStringLiteral("不能移动或复制到自身或其子文件夹中"));
    auto existing = childIdByName(dest.nid, name);
    if (!existing.ok())
        return existing.error;
    if (existing.value >= 0 && !(allowSelf && existing.value == node.nid))
        return nameExists(name);
    return {};
}

Result<ServiceNode> EmbeddedCloudService::relocate(qint64 nid, qint64 newParentId, const QString& newName) {
    using R = Result<ServiceNode>;
    if (nid == kRootId)
        return R::failure(cloudError(kCloudErrorRootRefused, QStringLiteral("不能操作根目录")));
    Database::Transaction t(*m_db);
    if (t.error())
        return R::failure(storageFailure(t.error()));
    auto n = liveNode(nid);
    if (!n.ok())
        return n;
    auto dest = liveFolder(newParentId);
    if (!dest.ok())
        return R::failure(dest.error);
    const QString name = newName.isEmpty() ? n.value.name : newName;
    if (BWError err = checkPlacement(n.value, dest.value, name, true))
        return R::failure(err);
    if (n.value.pid == newParentId && n.value.name == name)
        return n; // nothing changes
    auto v = nextVersion();
    if (!v.ok())
        return R::failure(v.error);
    const QString oldPath = n.value.path;
    const QString newPath = childPath(dest.value.path, name);
    if (n.value.isDir) {
        // Every node below gets its new path, and a new version so the change log carries it.
        Query sub =
            m_db->query(QStringLiteral("UPDATE nodes SET path = ? || substr(path, length(?) + 1), version = ?"
                                       " WHERE status = 0 AND path >= ? AND path < ?"));
        sub.bind(1, newPath)
            .bind(2, oldPath)
            .bind(3, v.value)
            .bind(4, subtreeLow(oldPath))
            .bind(5, subtreeHigh(oldPath));
        if (BWError err = sub.exec())
            return R::failure(storageFailure(err));
    }
    Query q = m_db->query(
        QStringLiteral("UPDATE nodes SET pid = ?, name = ?, path = ?, version = ? WHERE nid = ?"));
    if (BWError err =
            q.bind(1, newParentId).bind(2, name).bind(3, newPath).bind(4, v.value).bind(5, nid).exec())
        return R::failure(storageFailure(err));
    auto moved = loadNode(nid);
    if (!moved.ok())
        return moved;
    if (BWError err = t.commit())
        return R::failure(storageFailure(err));
    return moved;
}

BWError EmbeddedCloudService::insertCopy(const ServiceNode& src, qint64 pid, const QString& name,
                                         const QString& path, qint64 version, qint64* newId) {
    Query q = m_db->query(QStringLiteral(
        "INSERT INTO nodes (pid, name, path, is_dir, size, mtime, ctime, category, file_hash, version)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.bind(1, pid).bind(2, name).bind(3, path).bind(4, int(src.isDir)).bind(5, qint64(src.size));
    q.bind(6, int(src.mtime))
        .bind(7, int(now()))
        .bind(8, int(src.category))
        .bind(9, src.fileHash)
        .bind(10, version);
    if (BWError err = q.exec())
        return err;
    *newId = m_db->lastInsertId();
    if (!src.isDir) {
        Query blocks = m_db->query(QStringLiteral(
            "INSERT INTO file_blocks (nid, idx, sha1) SELECT ?, idx, sha1 FROM file_blocks WHERE nid = ?"));
        return blocks.bind(1, *newId).bind(2, src.nid).exec();
    }
    return {};
}

Result<ServiceNode> EmbeddedCloudService::copy(qint64 nid, qint64 newParentId, const QString& newName) {
    using R = Result<ServiceNode>;
    if (BWError err = enterOp(ServiceOp::Copy))
        return R::failure(err);
    Database::Transaction t(*m_db);
    if (t.error())
        return R::failure(storageFailure(t.error()));
    auto n = liveNode(nid);
    if (!n.ok())
        return n;
    auto dest = liveFolder(newParentId);
    if (!dest.ok())
        return R::failure(dest.error);
    const QString name = newName.isEmpty() ? n.value.name : newName;
    if (BWError err = checkPlacement(n.value, dest.value, name, false))
        return R::failure(err);
    auto v = nextVersion();
    if (!v.ok())
        return R::failure(v.error);
    const QString rootPath = childPath(dest.value.path, name);
    qint64 rootId = -1;
    if (BWError err = insertCopy(n.value, newParentId, name, rootPath, v.value, &rootId))
        return R::failure(storageFailure(err));
    if (n.value.isDir) {
        // Sorted by path, every folder comes before what it holds.
        NodeList below;
        {
            Query q = nodeQuery(QStringLiteral("status = 0 AND path >= ? AND path < ? ORDER BY path"));
            q.bind(1, subtreeLow(n.value.path)).bind(2, subtreeHigh(n.value.path));
            if (BWError err = readNodeRows(q, below))
                return R::failure(err);
        }
        QHash<qint64, qint64> newIds{{nid, rootId}};
        const qsizetype cut = n.value.path.size();
        for (const ServiceNode& c : below) {
            const qint64 pid = newIds.value(c.pid, -1);
            if (pid < 0)
                return R::failure(
                    cloudError(kCloudErrorStorage, QStringLiteral("文件树不一致：%1").arg(c.path)));
            qint64 id = -1;
            if (BWError err = insertCopy(c, pid, c.name, rootPath + c.path.mid(cut), v.value, &id))
                return R::failure(storageFailure(err));
            if (c.isDir)
                newIds.insert(c.nid, id);
        }
    }
    auto copied = loadNode(rootId);
    if (!copied.ok())
        return copied;
    if (BWError err = t.commit())
        return R::failure(storageFailure(err));
    return copied;
}

BWError EmbeddedCloudService::remove(const QList<qint64>& nids) {
    if (BWError err = enterOp(ServiceOp::Remove))
        return err;
    if (nids.isEmpty())
        return cloudError(kCloudErrorInvalidArgument, QStringLiteral("没有要删除的文件"));
    Database::Transaction t(*m_db);
    if (t.error())
        return storageFailure(t.error());
    NodeList nodes;
    for (qint64 nid : nids) {
        if (nid == kRootId)
            return cloudError(kCloudErrorRootRefused, QStringLiteral("不能删除根目录"));
        auto n = liveNode(nid);
        if (!n.ok())
            return n.error;
        nodes.append(n.value);
    }
    auto v = nextVersion();
    if (!v.ok())
        return v.error;
    const qint32 ts = now();
    for (const ServiceNode& n : nodes) {
        Query check = m_db->query(QStringLiteral("SELECT status FROM nodes WHERE nid = ?"));
        check.bind(1, n.nid);
        if (check.next() && check.int64(0) != 0)
            continue; // already removed with a folder above it in this call
        // The node by its id and a folder's subtree by its path range, apart: joined by OR, the
        // statement scanned every live row for each node, so removing thousands took seconds.
        Query self = m_db->query(QStringLiteral("UPDATE nodes SET status = 1, version = ? WHERE nid = ?"));
        if (BWError err = self.bind(1, v.value).bind(2, n.nid).exec())
            return storageFailure(err);
        if (n.isDir) {
            Query sub = m_db->query(QStringLiteral(
                "UPDATE nodes SET status = 1, version = ? WHERE path >= ? AND path < ? AND status = 0"));
            sub.bind(1, v.value).bind(2, subtreeLow(n.path)).bind(3, subtreeHigh(n.path));
            if (BWError err = sub.exec())
                return storageFailure(err);
        }
        Query rec = m_db->query(QStringLiteral("INSERT INTO recycle (nid, path, dtime) VALUES (?, ?, ?)"));
        if (BWError err = rec.bind(1, n.nid).bind(2, n.path).bind(3, ts).exec())
            return storageFailure(err);
    }
    // A link to a node that is gone no longer works: it lapses with the delete, not later.
    if (BWError err = lapseSharesOfRemoved(v.value))
        return err;
    if (BWError err = t.commit())
        return storageFailure(err);
    return {};
}

BWError EmbeddedCloudService::importNodes(const NodeList& nodes) {
    if (BWError err = awaitSound())
        return err;
    Database::Transaction t(*m_db);
    if (t.error())
        return storageFailure(t.error());
    auto v = nextVersion();
    if (!v.ok())
        return v.error;
    QHash<qint64, QString> folderPaths;
    Query ins = m_db->query(QStringLiteral(
        "INSERT INTO nodes (nid, pid, name, path, is_dir, size, mtime, ctime, category, version)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const NodeRecord& n : nodes) {
        if (n.nid <= 0)
            return cloudError(kCloudErrorInvalidArgument, QStringLiteral("无效的文件编号：%1").arg(n.nid));
        if (BWError err = validateName(n.name))
            return err;
        auto it = folderPaths.constFind(n.pid);
        QString parentPath;
        if (it != folderPaths.constEnd()) {
            parentPath = *it;
        } else {
            auto parent = liveFolder(n.pid);
            if (!parent.ok())
                return parent.error;
            parentPath = parent.value.path;
        }
        const QString path = childPath(parentPath, n.name);
        ins.bind(1, n.nid).bind(2, n.pid).bind(3, n.name).bind(4, path).bind(5, int(n.isDir));
        ins.bind(6, qint64(n.isDir ? 0 : n.size))
            .bind(7, int(n.mtime))
            .bind(8, int(n.ctime ? n.ctime : n.mtime));
        ins.bind(9, int(n.category)).bind(10, v.value);
        if (BWError err = ins.exec())
            return err.localizedDescription().contains(QLatin1String("UNIQUE")) ? nameExists(n.name)
                                                                                : storageFailure(err);
        ins.reset();
        if (n.isDir)
            folderPaths.insert(n.nid, path);
    }
    if (BWError err = t.commit())
        return storageFailure(err);
    return {};
}

} // namespace nubo
