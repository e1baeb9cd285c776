#include "storage/CloudFileTable.h"

#include "foundation/Log.h"
#include "foundation/ParallelFor.h"
#include "storage/NodeRow.h"

#include <QStringEncoder>
#include <QThread>
#include <algorithm>

namespace nubo {

namespace {

Result<NodeList> readAll(Query& q) {
    Result<NodeList> r;
    while (q.next())
        r.value.append(readNodeRow(q));
    r.error = q.error();
    return r;
}

// The node table's columns. The path column stays for older files, which held the paths.
const QString kTableColumns =
    QStringLiteral("nid INTEGER PRIMARY KEY, pid INTEGER NOT NULL, name TEXT NOT NULL, path TEXT NOT NULL,"
                   " is_dir INTEGER NOT NULL DEFAULT 0, size INTEGER NOT NULL DEFAULT 0,"
                   " mtime INTEGER NOT NULL DEFAULT 0, ctime INTEGER NOT NULL DEFAULT 0,"
                   " category INTEGER NOT NULL DEFAULT 0, file_hash TEXT,"
                   " status INTEGER NOT NULL DEFAULT 0, is_link INTEGER NOT NULL DEFAULT 0,"
                   " is_sync INTEGER NOT NULL DEFAULT 0, is_edit_lock INTEGER NOT NULL DEFAULT 0,"
                   " version INTEGER NOT NULL DEFAULT 0");

// Paths follow from the parents and are not stored (the column stays for older files, which
// held them and an index on them); the parent index serves children, paths and subtrees.
const QString kIndexes = QStringLiteral("CREATE INDEX IF NOT EXISTS cloud_file_pid ON cloud_file(pid);");

// Deepest folder nesting followed when a path is made from the parents: a loop in damaged rows
// must not hang the walk.
constexpr int kMaxDepth = 4096;

} // namespace

NodeRecord CloudFileTable::rootRecord() {
    NodeRecord root;
    root.nid = 0;
    root.pid = -1;
    root.name = QStringLiteral("/");
    root.path = QStringLiteral("/");
    root.isDir = true;
    return root;
}

BWError CloudFileTable::create() {
    BWError err =
        m_db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS cloud_file (") + kTableColumns +
                  QStringLiteral(");CREATE TABLE IF NOT EXISTS cloud_file_cursor (id INTEGER PRIMARY "
                                 "KEY CHECK (id = 0), cursor INTEGER);"));
    if (!err) // what older files kept: paths are no longer written, so their index only costs
        err = m_db.exec(QStringLiteral("DROP INDEX IF EXISTS cloud_file_path"));
    return err ? err : m_db.exec(kIndexes);
}

BWError CloudFileTable::beginFullLoad() {
    {
        // Staged pages are made exactly like the table (as this file has it), so that the copy
        // into it moves whole records instead of taking each apart and making it again.
        Query q = m_db.query(
            QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'cloud_file'"));
        if (!q.next())
            return q.error() ? q.error() : m_db.lastError(QStringLiteral("cloud_file"));
        m_stageTable = q.text(0);
    }
    {
        // The loads commit page by page; copying the log into the file after each would make
        // the writer wait for the disk every time. A copier beside it does that (see LogCopier),
        // and the last commit copies the rest.
        Query q = m_db.query(QStringLiteral("PRAGMA wal_autocheckpoint"));
        m_autoCheckpoint = q.next() ? int(q.int64(0)) : 1000;
    }
    if (BWError err = m_db.exec(QStringLiteral("PRAGMA wal_autocheckpoint = 0")))
        return err;
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    BWError err = m_db.exec(QStringLiteral(
        "DELETE FROM cloud_file_cursor; DELETE FROM cloud_file; DROP INDEX IF EXISTS cloud_file_pid;"));
    return err ? err : t.commit();
}

Result<std::unique_ptr<Database>> CloudFileTable::stagePage(std::span<const NodeRecord> nodes) const {
    using R = Result<std::unique_ptr<Database>>;
    auto stage = Database::openInMemory();
    if (!stage.ok())
        return stage;
    Database& db = *stage.value;
    const QString table = m_stageTable.isEmpty()
                              ? QStringLiteral("CREATE TABLE cloud_file (") + kTableColumns + u')'
                              : m_stageTable;
    if (BWError err = db.exec(table))
        return R::failure(err);
    Database::Transaction t(db);
    if (t.error())
        return R::failure(t.error());
    // The first of two rows with one id is kept, as the tree keeps it.
    if (BWError err = writeRows(db, QStringLiteral("INSERT OR IGNORE"), nodes))
        return R::failure(err);
    if (BWError err = t.commit())
        return R::failure(err);
    return stage;
}

BWError CloudFileTable::loadStaged(const std::vector<std::unique_ptr<Database>>& stages) {
    for (size_t from = 0; from < stages.size(); from += kMaxStagesPerLoad) {
        const size_t to = std::min(stages.size(), from + kMaxStagesPerLoad);
        if (BWError err = loadStagedRun(stages, from, to))
            return err;
    }
    return {};
}

BWError CloudFileTable::loadStagedRun(const std::vector<std::unique_ptr<Database>>& stages, size_t from,
                                      size_t to) {
    // Attached before the transaction (SQLite attaches nothing inside one), detached after it.
    size_t attached = from;
    BWError err;
    for (; attached < to && !err; ++attached)
        // The names are ours, never the user's: they go into the statement as they are.
        err = m_db.exec(QStringLiteral("ATTACH DATABASE '%1' AS nubo_stage%2")
                            .arg(stages[attached]->attachName())
                            .arg(attached - from));
    if (!err) {
        Database::Transaction t(m_db);
        err = t.error();
        for (size_t i = 0; i < to - from && !err; ++i) {
            // A plain copy of every column of a table of the same make moves whole records; it
            // fails on an id loaded before, and then the slower copy keeps the row loaded first.
            const QString copy =
                QStringLiteral(" INTO main.cloud_file SELECT * FROM nubo_stage%1.cloud_file").arg(i);
            if (m_db.exec(QStringLiteral("INSERT") + copy))
                err = m_db.exec(QStringLiteral("INSERT OR IGNORE") + copy);
        }
        if (!err)
            err = t.commit();
    }
    for (size_t i = from; i < attached; ++i)
        if (BWError detached = m_db.exec(QStringLiteral("DETACH DATABASE nubo_stage%1").arg(i - from)); !err)
            err = detached;
    return err;
}

BWError CloudFileTable::finishFullLoad(qint64 cursor) {
    if (BWError err = m_db.exec(QStringLiteral("PRAGMA wal_autocheckpoint = %1").arg(m_autoCheckpoint)))
        return err;
    // Building an index sorts every row. SQLite sorts on helper threads only the runs it cuts the
    // rows into, each as large as the page cache: a small cache for the build makes several runs
    // sorted at once. Without helper threads the index is only built slower.
    qint64 cacheSize = 0;
    {
        Query q = m_db.query(QStringLiteral("PRAGMA cache_size"));
        cacheSize = q.next() ? q.int64(0) : 0;
    }
    warnIfFailed(lcStorage(),
                 m_db.exec(QStringLiteral("PRAGMA threads = %1; PRAGMA cache_size = -2048")
                               .arg(std::clamp(QThread::idealThreadCount(), 1, 8))),
                 "asking for sort threads");
    BWError err;
    {
        Database::Transaction t(m_db);
        err = t.error();
        if (!err)
            err = m_db.exec(kIndexes);
        if (!err)
            err = setCursor(cursor);
        if (!err)
            err = t.commit();
    }
    if (cacheSize != 0)
        warnIfFailed(lcStorage(), m_db.exec(QStringLiteral("PRAGMA cache_size = %1").arg(cacheSize)),
                     "restoring the page cache");
    return err;
}

BWError CloudFileTable::upsertLocked(const NodeList& nodes) {
    return writeRows(m_db, QStringLiteral("INSERT OR REPLACE"),
                     std::span<const NodeRecord>(nodes.constData(), size_t(nodes.size())));
}

BWError CloudFileTable::writeRows(Database& db, const QString& insert, std::span<const NodeRecord> nodes) {
    Query q = db.query(insert + QStringLiteral(" INTO cloud_file (") + nodeColumns() +
                       QStringLiteral(") VALUES (?,?,?,'',?,?,?,?,?,?,?,?,?,?,?)"));
    if (q.error())
        return q.error();
    // The texts go in from buffers kept across rows: no allocation per row, and SQLite copies
    // nothing it can read in place while the row is written.
    QStringEncoder toUtf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    QByteArray name, hash;
    auto encode = [&](QByteArray& buffer, const QString& text) {
        buffer.resize(toUtf8.requiredSpace(text.size()));
        return QByteArrayView(buffer.constData(),
                              toUtf8.appendToBuffer(buffer.data(), text) - buffer.constData());
    };
    for (const NodeRecord& n : nodes) {
        if (n.nid <= 0 || n.name.isEmpty())
            return BWError::application(kStorageErrorArgument,
                                        QStringLiteral("无效的文件记录：%1").arg(n.nid));
        q.bind(1, n.nid).bind(2, n.pid).bindUtf8(3, encode(name, n.name)).bind(4, int(n.isDir));
        q.bind(5, qint64(n.size)).bind(6, int(n.mtime)).bind(7, int(n.ctime)).bind(8, int(n.category));
        q.bindUtf8(9, encode(hash, n.fileHash)).bind(10, int(n.status)).bind(11, int(n.isLink));
        q.bind(12, int(n.isSync)).bind(13, int(n.isEditLock)).bind(14, n.version);
        if (BWError err = q.exec())
            return err;
        q.reset();
    }
    return {};
}

BWError CloudFileTable::removeLocked(const QList<qint64>& nids) {
    // UNION, not UNION ALL: a loop in damaged rows ends instead of growing forever.
    Query del = m_db.query(QStringLiteral("WITH RECURSIVE below(nid) AS (SELECT ?1 UNION SELECT c.nid FROM "
                                          "cloud_file c JOIN below ON c.pid = below.nid) "
                                          "DELETE FROM cloud_file WHERE nid IN below"));
    for (qint64 nid : nids) {
        if (BWError err = del.bind(1, nid).exec())
            return err;
        del.reset();
    }
    return {};
}

BWError CloudFileTable::upsert(const NodeList& nodes) {
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    if (BWError err = upsertLocked(nodes))
        return err;
    return t.commit();
}

BWError CloudFileTable::remove(const QList<qint64>& nids) {
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    if (BWError err = removeLocked(nids))
        return err;
    return t.commit();
}

BWError CloudFileTable::applyChanges(const NodeList& changes, qint64 cursor) {
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    // In log order, so a node removed and a later one of the same path both end up right.
    for (const NodeRecord& n : changes) {
        BWError err = n.isDeleted() ? removeLocked({n.nid}) : upsertLocked({n});
        if (err)
            return err;
    }
    if (cursor >= 0) {
        Query q =
            m_db.query(QStringLiteral("INSERT OR REPLACE INTO cloud_file_cursor (id, cursor) VALUES (0, ?)"));
        if (BWError err = q.bind(1, cursor).exec())
            return err;
    }
    return t.commit();
}

BWError CloudFileTable::clear() {
    return m_db.exec(QStringLiteral("DELETE FROM cloud_file; DELETE FROM cloud_file_cursor;"));
}

Result<QString> CloudFileTable::pathOf(qint64 nid) {
    using R = Result<QString>;
    QStringList names;
    Query q = m_db.query(QStringLiteral("SELECT pid, name FROM cloud_file WHERE nid = ?"));
    for (qint64 at = nid; at != 0;) {
        if (names.size() > kMaxDepth || !q.bind(1, at).next())
            return R::failure(q.error() ? q.error()
                                        : BWError::application(kStorageErrorArgument,
                                                               QStringLiteral("文件不存在：%1").arg(nid)));
        names.prepend(q.text(1));
        at = q.int64(0);
        q.reset();
    }
    return {u'/' + names.join(u'/'), {}};
}

Result<NodeRecord> CloudFileTable::byId(qint64 nid) {
    using R = Result<NodeRecord>;
    if (nid == 0)
        return {rootRecord(), {}};
    Result<QString> path = pathOf(nid);
    if (!path.ok())
        return R::failure(path.error);
    Query q = m_db.query(QStringLiteral("SELECT ") + nodeColumns() +
                         QStringLiteral(" FROM cloud_file WHERE nid = ?"));
    q.bind(1, nid);
    if (!q.next())
        return R::failure(q.error() ? q.error()
                                    : BWError::application(kStorageErrorArgument,
                                                           QStringLiteral("文件不存在：%1").arg(nid)));
    NodeRecord n = readNodeRow(q);
    n.path = path.value;
    return {n, {}};
}

Result<NodeRecord> CloudFileTable::byPath(const QString& path) {
    // Name by name down from the root.
    qint64 at = 0;
    Query q = m_db.query(QStringLiteral("SELECT nid FROM cloud_file WHERE pid = ? AND name = ?"));
    for (const QString& name : path.split(u'/', Qt::SkipEmptyParts)) {
        if (!q.bind(1, at).bind(2, name).next())
            return Result<NodeRecord>::failure(
                q.error() ? q.error()
                          : BWError::application(kStorageErrorArgument,
                                                 QStringLiteral("文件不存在：%1").arg(path)));
        at = q.int64(0);
        q.reset();
    }
    return byId(at);
}

Result<NodeList> CloudFileTable::children(qint64 pid) {
    Result<QString> base = pathOf(pid);
    Query q = m_db.query(QStringLiteral("SELECT ") + nodeColumns() +
                         QStringLiteral(" FROM cloud_file WHERE pid = ?"));
    q.bind(1, pid);
    Result<NodeList> r = readAll(q);
    if (base.ok()) {
        const QString prefix = base.value == QLatin1String("/") ? base.value : base.value + u'/';
        for (NodeRecord& n : r.value)
            n.path = prefix + n.name;
    }
    return r;
}

BWError CloudFileTable::readInParts(int parts,
                                    const std::function<void(int part, const NodeRowView& row)>& onRow) {
    qint64 low = 0, high = -1;
    {
        Query q = m_db.query(QStringLiteral("SELECT min(nid), max(nid) FROM cloud_file"));
        if (!q.next())
            return q.error();
        if (q.isNull(0))
            return {}; // empty
        low = q.int64(0);
        high = q.int64(1);
    }
    parts = int(std::clamp<qint64>(high - low, 1, std::max(parts, 1)));
    Database::Options options;
    options.checkIntegrity = false; // the file was checked (or is being checked) by its owner
    options.cacheSizeKiB = 2048;
    std::vector<BWError> errors(static_cast<size_t>(parts));
    parallelFor(parts, [&](int part) {
        // Ids are handed out in order, so equal ranges hold about equal numbers of rows.
        auto start = [&](int k) { return low + qint64(__int128(high - low) * k / parts); };
        const qint64 from = part == 0 ? low : start(part) + 1;
        const qint64 to = start(part + 1);
        auto db = Database::open(m_db.path(), options);
        if (!db.ok()) {
            errors[size_t(part)] = db.error;
            return;
        }
        Query q = db.value->query(QStringLiteral("SELECT ") + nodeColumns() +
                                  QStringLiteral(" FROM cloud_file WHERE nid >= ? AND nid <= ?"));
        q.bind(1, from).bind(2, to);
        while (q.next())
            onRow(part, viewNodeRow(q));
        errors[size_t(part)] = q.error();
    });
    for (const BWError& e : errors)
        if (e)
            return e;
    return {};
}

Result<qint64> CloudFileTable::count() {
    Query q = m_db.query(QStringLiteral("SELECT count(*) FROM cloud_file"));
    Result<qint64> r;
    if (q.next())
        r.value = q.int64(0);
    r.error = q.error();
    return r;
}

Result<qint64> CloudFileTable::cursor() {
    Query q = m_db.query(QStringLiteral("SELECT cursor FROM cloud_file_cursor WHERE id = 0"));
    Result<qint64> r;
    if (q.next())
        r.value = q.int64(0);
    r.error = q.error();
    return r;
}

BWError CloudFileTable::setCursor(qint64 cursor) {
    Query q =
        m_db.query(QStringLiteral("INSERT OR REPLACE INTO cloud_file_cursor (id, cursor) VALUES (0, ?)"));
    return q.bind(1, cursor).exec();
}

} // namespace nubo
