#include "storage/CloudFileTable.h"

#include "foundation/Log.h"
#include "foundation/ParallelFor.h"
#include "storage/NodeRow.h"

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
    BWError err = m_db.exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS cloud_file ("
        " nid INTEGER PRIMARY KEY, pid INTEGER NOT NULL, name TEXT NOT NULL, path TEXT NOT NULL,"
        " is_dir INTEGER NOT NULL DEFAULT 0, size INTEGER NOT NULL DEFAULT 0,"
        " mtime INTEGER NOT NULL DEFAULT 0, ctime INTEGER NOT NULL DEFAULT 0,"
        " category INTEGER NOT NULL DEFAULT 0, file_hash TEXT,"
        " status INTEGER NOT NULL DEFAULT 0, is_link INTEGER NOT NULL DEFAULT 0,"
        " is_sync INTEGER NOT NULL DEFAULT 0, is_edit_lock INTEGER NOT NULL DEFAULT 0,"
        " version INTEGER NOT NULL DEFAULT 0);"
        "CREATE TABLE IF NOT EXISTS cloud_file_cursor (id INTEGER PRIMARY KEY CHECK (id = 0), cursor "
        "INTEGER);"));
    if (!err) // what older files kept: paths are no longer written, so their index only costs
        err = m_db.exec(QStringLiteral("DROP INDEX IF EXISTS cloud_file_path"));
    return err ? err : m_db.exec(kIndexes);
}

BWError CloudFileTable::beginFullLoad() {
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    BWError err = m_db.exec(QStringLiteral(
        "DELETE FROM cloud_file_cursor; DELETE FROM cloud_file; DROP INDEX IF EXISTS cloud_file_pid;"));
    return err ? err : t.commit();
}

Result<std::unique_ptr<Database>> CloudFileTable::stagePage(const NodeList& nodes) {
    using R = Result<std::unique_ptr<Database>>;
    auto stage = Database::openInMemory();
    if (!stage.ok())
        return stage;
    Database& db = *stage.value;
    if (BWError err =
            db.exec(QStringLiteral("CREATE TABLE cloud_file (") + nodeColumns() + QStringLiteral(")")))
        return R::failure(err);
    Database::Transaction t(db);
    if (t.error())
        return R::failure(t.error());
    if (BWError err = writeRows(db, QStringLiteral("INSERT"), nodes))
        return R::failure(err);
    if (BWError err = t.commit())
        return R::failure(err);
    return stage;
}

BWError CloudFileTable::loadStaged(Database& stage) {
    // The name is ours, never the user's: it goes into the statement as it is.
    if (BWError err = m_db.exec(QStringLiteral("ATTACH DATABASE '%1' AS nubo_stage").arg(stage.attachName())))
        return err;
    BWError err;
    {
        // Ignoring a repeated id costs less than replacing: the row is found where it goes anyway.
        Database::Transaction t(m_db);
        err = t.error();
        if (!err)
            err = m_db.exec(QStringLiteral("INSERT OR IGNORE INTO main.cloud_file (") + nodeColumns() +
                            QStringLiteral(") SELECT ") + nodeColumns() +
                            QStringLiteral(" FROM nubo_stage.cloud_file"));
        if (!err)
            err = t.commit();
    }
    const BWError detached = m_db.exec(QStringLiteral("DETACH DATABASE nubo_stage"));
    return err ? err : detached;
}

BWError CloudFileTable::finishFullLoad(qint64 cursor) {
    // Building an index sorts every row: let SQLite sort on helper threads.
    // Without helper threads the index is only built slower.
    warnIfFailed(
        lcStorage(),
        m_db.exec(QStringLiteral("PRAGMA threads = %1").arg(std::clamp(QThread::idealThreadCount(), 1, 8))),
        "asking for sort threads");
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    if (BWError err = m_db.exec(kIndexes))
        return err;
    if (BWError err = setCursor(cursor))
        return err;
    return t.commit();
}

BWError CloudFileTable::upsertLocked(const NodeList& nodes) {
    return writeRows(m_db, QStringLiteral("INSERT OR REPLACE"), nodes);
}

BWError CloudFileTable::writeRows(Database& db, const QString& insert, const NodeList& nodes) {
    Query q = db.query(insert + QStringLiteral(" INTO cloud_file (") + nodeColumns() +
                       QStringLiteral(") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    if (q.error())
        return q.error();
    for (const NodeRecord& n : nodes) {
        if (n.nid <= 0 || n.name.isEmpty())
            return BWError::application(kStorageErrorArgument,
                                        QStringLiteral("无效的文件记录：%1").arg(n.nid));
        q.bind(1, n.nid).bind(2, n.pid).bind(3, n.name).bind(4, QString()).bind(5, int(n.isDir));
        q.bind(6, qint64(n.size)).bind(7, int(n.mtime)).bind(8, int(n.ctime)).bind(9, int(n.category));
        q.bind(10, n.fileHash).bind(11, int(n.status)).bind(12, int(n.isLink)).bind(13, int(n.isSync));
        q.bind(14, int(n.isEditLock)).bind(15, n.version);
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
