#include "transfer/TransferJobTable.h"

#include "foundation/Log.h"

namespace nubo::transfer {

TransferJobTable::TransferJobTable(Database& db, QString prefix)
    : m_db(db), m_jobs(prefix + QStringLiteral("_job")), m_blocks(prefix + QStringLiteral("_block")) {}

BWError TransferJobTable::create() {
    return m_db.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 ("
                       " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                       " path TEXT NOT NULL UNIQUE, source TEXT NOT NULL, root TEXT,"
                       " nid INTEGER, size INTEGER, status INTEGER, paused_reason INTEGER,"
                       " finished_size INTEGER, finished_time INTEGER,"
                       " err_domain TEXT, err_code INTEGER, err_msg TEXT,"
                       " file_sha1 TEXT, upload_id TEXT, replace INTEGER, source_mtime INTEGER);"
                       "CREATE TABLE IF NOT EXISTS %2 ("
                       " job_id INTEGER NOT NULL, idx INTEGER NOT NULL, sha1 TEXT,"
                       " done INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(job_id, idx)) WITHOUT ROWID;")
            .arg(m_jobs, m_blocks));
}

Result<QList<TransferJobRecord>> TransferJobTable::all() {
    Result<QList<TransferJobRecord>> r;
    Query q = m_db.query(QStringLiteral("SELECT id, path, source, root, nid, size, status, paused_reason,"
                                        " finished_size, finished_time, err_domain, err_code, err_msg,"
                                        " file_sha1, upload_id, replace, source_mtime FROM %1 ORDER BY id")
                             .arg(m_jobs));
    while (q.next()) {
        TransferJobRecord j;
        j.id = q.int64(0);
        j.path = q.text(1);
        j.source = q.text(2);
        j.root = q.text(3);
        j.nid = q.int64(4);
        j.size = q.int64(5);
        j.status = qint32(q.int64(6));
        j.pausedReason = qint32(q.int64(7));
        j.finishedSize = q.int64(8);
        j.finishedTime = quint32(q.int64(9));
        if (!q.isNull(10) && !q.text(10).isEmpty())
            j.error = BWError::withMessage(q.text(10), int(q.int64(11)), q.text(12));
        j.fileSha1 = q.text(13);
        j.uploadId = q.text(14);
        j.replace = q.int64(15) != 0;
        j.sourceMtime = q.int64(16);
        r.value.append(j);
    }
    r.error = q.error();
    return r;
}

BWError TransferJobTable::save(TransferJobRecord& j) {
    const bool insert = j.id <= 0;
    Query q = m_db.query(
        insert ? QStringLiteral(
                     "INSERT OR REPLACE INTO %1 (path, source, root, nid, size, status, paused_reason,"
                     " finished_size, finished_time, err_domain, err_code, err_msg, file_sha1,"
                     " upload_id, replace, source_mtime)"
                     " VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16)")
                     .arg(m_jobs)
               : QStringLiteral("UPDATE %1 SET path=?1, source=?2, root=?3, nid=?4, size=?5, status=?6,"
                                " paused_reason=?7, finished_size=?8, finished_time=?9, err_domain=?10,"
                                " err_code=?11, err_msg=?12, file_sha1=?13, upload_id=?14, replace=?15,"
                                " source_mtime=?16 WHERE id=?17")
                     .arg(m_jobs));
    q.bind(1, j.path).bind(2, j.source).bind(3, j.root).bind(4, j.nid).bind(5, j.size);
    q.bind(6, qint64(j.status)).bind(7, qint64(j.pausedReason)).bind(8, j.finishedSize);
    q.bind(9, qint64(j.finishedTime));
    q.bind(10, j.error.domain()).bind(11, j.error.code());
    q.bind(12, j.error ? j.error.localizedDescription() : QString());
    q.bind(13, j.fileSha1).bind(14, j.uploadId).bind(15, qint64(j.replace)).bind(16, j.sourceMtime);
    if (!insert)
        q.bind(17, j.id);
    if (BWError e = q.exec())
        return e;
    if (insert)
        j.id = m_db.lastInsertId();
    return {};
}

BWError TransferJobTable::remove(qint64 id) {
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    if (BWError e =
            m_db.query(QStringLiteral("DELETE FROM %1 WHERE job_id=?1").arg(m_blocks)).bind(1, id).exec())
        return e;
    if (BWError e = m_db.query(QStringLiteral("DELETE FROM %1 WHERE id=?1").arg(m_jobs)).bind(1, id).exec())
        return e;
    return t.commit();
}

BWError TransferJobTable::removeFinished() {
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    if (BWError e =
            m_db.exec(QStringLiteral("DELETE FROM %1 WHERE job_id IN (SELECT id FROM %2 WHERE status=5);"
                                     "DELETE FROM %2 WHERE status=5;")
                          .arg(m_blocks, m_jobs)))
        return e;
    return t.commit();
}

BWError TransferJobTable::setBlocks(qint64 jobId, const QStringList& sha1s) {
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    if (BWError e =
            m_db.query(QStringLiteral("DELETE FROM %1 WHERE job_id=?1").arg(m_blocks)).bind(1, jobId).exec())
        return e;
    const QString sql =
        QStringLiteral("INSERT INTO %1 (job_id, idx, sha1, done) VALUES (?1, ?2, ?3, 0)").arg(m_blocks);
    for (int i = 0; i < sha1s.size(); ++i)
        if (BWError e = m_db.query(sql).bind(1, jobId).bind(2, i).bind(3, sha1s[i]).exec())
            return e;
    return t.commit();
}

BWError TransferJobTable::markBlocksDone(qint64 jobId, const QList<QPair<int, QString>>& blocks) {
    Database::Transaction t(m_db);
    if (t.error())
        return t.error();
    const QString keep = QStringLiteral("UPDATE %1 SET done=1 WHERE job_id=?1 AND idx=?2").arg(m_blocks);
    const QString with =
        QStringLiteral("INSERT OR REPLACE INTO %1 (job_id, idx, sha1, done) VALUES (?1, ?2, ?3, 1)")
            .arg(m_blocks);
    for (const auto& [index, sha1] : blocks) {
        Query q = m_db.query(sha1.isEmpty() ? keep : with);
        q.bind(1, jobId).bind(2, index);
        if (!sha1.isEmpty())
            q.bind(3, sha1);
        if (BWError e = q.exec())
            return e;
    }
    return t.commit();
}

BlockMarks::~BlockMarks() {
    warnIfFailed(lcTransfer(), flush(), "recording the last blocks of a job");
}

BWError BlockMarks::add(int index, const QString& sha1) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.append({index, sha1});
        if (m_pending.size() < kBatch)
            return {};
    }
    return flush();
}

BWError BlockMarks::flush() {
    QList<QPair<int, QString>> batch;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        batch.swap(m_pending);
    }
    return batch.isEmpty() ? BWError() : m_table.markBlocksDone(m_jobId, batch);
}

Result<QHash<int, QString>> TransferJobTable::doneBlocks(qint64 jobId) {
    Result<QHash<int, QString>> r;
    Query q = m_db.query(QStringLiteral("SELECT idx, sha1 FROM %1 WHERE job_id=?1 AND done=1").arg(m_blocks));
    q.bind(1, jobId);
    while (q.next())
        r.value.insert(int(q.int64(0)), q.text(1));
    r.error = q.error();
    return r;
}

Result<QStringList> TransferJobTable::blockSha1s(qint64 jobId) {
    Result<QStringList> r;
    Query q = m_db.query(QStringLiteral("SELECT sha1 FROM %1 WHERE job_id=?1 ORDER BY idx").arg(m_blocks));
    q.bind(1, jobId);
    while (q.next())
        r.value.append(q.text(0));
    r.error = q.error();
    return r;
}

BWError TransferJobTable::clearBlocks(qint64 jobId) {
    return m_db.query(QStringLiteral("DELETE FROM %1 WHERE job_id=?1").arg(m_blocks)).bind(1, jobId).exec();
}

} // namespace nubo::transfer
