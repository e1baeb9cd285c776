#include "storage/CloudFileTable.h"

#include "foundation/Log.h"
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

const QString kIndexes = QStringLiteral("CREATE INDEX IF NOT EXISTS cloud_file_pid ON cloud_file(pid);"
                                        "CREATE INDEX IF NOT EXISTS cloud_file_path ON cloud_file(path);");

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
    return err ? err : m_db.exec(kIndexes);
}

BWError CloudFileTable::beginFullLoad() {
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    BWError err = m_db.exec(
        QStringLiteral("DELETE FROM cloud_file_cursor; DELETE FROM cloud_file;"
                       "DROP INDEX IF EXISTS cloud_file_pid; DROP INDEX IF EXISTS cloud_file_path;"));
    return err ? err : t.commit();
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
    Query q = m_db.query(QStringLiteral("INSERT OR REPLACE INTO cloud_file (") + nodeColumns() +
                         QStringLiteral(") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    if (q.error())
        return q.error();
    for (const NodeRecord& n : nodes) {
        if (n.nid <= 0 || n.path.isEmpty())
            return BWError::application(kStorageErrorArgument,
                                        QStringLiteral("无效的文件记录：%1").arg(n.nid));
        q.bind(1, n.nid).bind(2, n.pid).bind(3, n.name).bind(4, n.path).bind(5, int(n.isDir));
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
    for (qint64 nid : nids) {
        QString path;
        {
            Query q = m_db.query(QStringLiteral("SELECT path FROM cloud_file WHERE nid = ?"));
            q.bind(1, nid);
            if (!q.next()) {
                if (q.error())
                    return q.error();
                continue; // not here: nothing to remove
            }
            path = q.text(0);
        }
        Query del =
            m_db.query(QStringLiteral("DELETE FROM cloud_file WHERE nid = ? OR (path >= ? AND path < ?)"));
        if (BWError err = del.bind(1, nid).bind(2, subtreeLow(path)).bind(3, subtreeHigh(path)).exec())
            return err;
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

Result<NodeRecord> CloudFileTable::byId(qint64 nid) {
    if (nid == 0)
        return {rootRecord(), {}};
    Query q = m_db.query(QStringLiteral("SELECT ") + nodeColumns() +
                         QStringLiteral(" FROM cloud_file WHERE nid = ?"));
    q.bind(1, nid);
    if (q.next())
        return {readNodeRow(q), {}};
    if (q.error())
        return Result<NodeRecord>::failure(q.error());
    return Result<NodeRecord>::failure(
        BWError::application(kStorageErrorArgument, QStringLiteral("文件不存在：%1").arg(nid)));
}

Result<NodeRecord> CloudFileTable::byPath(const QString& path) {
    if (path == QLatin1String("/"))
        return {rootRecord(), {}};
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    Query q = m_db.query(QStringLiteral("SELECT ") + nodeColumns() +
                         QStringLiteral(" FROM cloud_file WHERE path = ?"));
    q.bind(1, p);
    if (q.next())
        return {readNodeRow(q), {}};
    if (q.error())
        return Result<NodeRecord>::failure(q.error());
    return Result<NodeRecord>::failure(
        BWError::application(kStorageErrorArgument, QStringLiteral("文件不存在：%1").arg(path)));
}

Result<NodeList> CloudFileTable::children(qint64 pid) {
    Query q = m_db.query(QStringLiteral("SELECT ") + nodeColumns() +
                         QStringLiteral(" FROM cloud_file WHERE pid = ?"));
    q.bind(1, pid);
    return readAll(q);
}

Result<NodeList> CloudFileTable::allNodes() {
    QString columns = nodeColumns();
    columns.replace(QLatin1String("path,"), QLatin1String("'',"));
    Query q = m_db.query(QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM cloud_file"));
    Result<NodeList> r;
    if (Result<qint64> n = count(); n.ok())
        r.value.reserve(n.value);
    while (q.next())
        r.value.append(readNodeRow(q));
    r.error = q.error();
    return r;
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
