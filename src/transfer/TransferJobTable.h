#pragma once

#include "storage/Database.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <mutex>

namespace nubo::transfer {

// One transfer job as the per-user database keeps it. Uploads and downloads share the shape;
// fields that one direction does not use stay empty.
struct TransferJobRecord {
    qint64 id = 0;
    QString path;    // the job's key: cloud path (upload) or local destination (download)
    QString source;  // local source (upload) or cloud path (download)
    QString root;    // download: the folder the user chose; nothing is written outside it
    qint64 nid = -1; // download: the cloud node
    qint64 size = 0;
    qint32 status = 3;
    qint32 pausedReason = 0;
    qint64 finishedSize = 0;
    quint32 finishedTime = 0;
    BWError error;
    QString fileSha1; // hex; upload: of the local file when hashed, download: expected
    QString uploadId; // upload: the service's upload in progress
    bool replace = false;
    qint64 sourceMtime = 0; // upload: the local file's modification time when it was hashed
};

// The job and block tables of one direction ("upload_job"/"upload_block" or "download_job"/
// "download_block") over a connection to the per-user database. Safe from any thread (the
// connection serialises), so block workers record their blocks the moment they are done.
class TransferJobTable {
public:
    TransferJobTable(Database& db, QString prefix);

    BWError create();

    Result<QList<TransferJobRecord>> all();
    // Inserts the job (its id is set) or, when its id is set, rewrites its row.
    BWError save(TransferJobRecord& job);
    // Removes the job and its blocks.
    BWError remove(qint64 id);
    BWError removeFinished();

    // Blocks: a row per block with its SHA-1 (hex); `done` tells that it was sent or written.
    BWError setBlocks(qint64 jobId, const QStringList& sha1s);
    // Marks blocks (index, SHA-1 or empty to keep the one recorded) done, in one transaction.
    BWError markBlocksDone(qint64 jobId, const QList<QPair<int, QString>>& blocks);
    Result<QHash<int, QString>> doneBlocks(qint64 jobId);
    Result<QStringList> blockSha1s(qint64 jobId);
    BWError clearBlocks(qint64 jobId);

private:
    Database& m_db;
    QString m_jobs;
    QString m_blocks;
};

// The block marks of one running job, written a batch at a time from any of its lanes: a mark
// lost with the process only means that block is sent or fetched again.
class BlockMarks {
public:
    static constexpr int kBatch = 16;

    BlockMarks(TransferJobTable& table, qint64 jobId) : m_table(table), m_jobId(jobId) {}
    ~BlockMarks(); // writes what is left; a failure is logged
    BlockMarks(const BlockMarks&) = delete;
    BlockMarks& operator=(const BlockMarks&) = delete;

    // Block `index` is done (a download gives the SHA-1 of what it wrote); writes the batch when
    // it is full.
    BWError add(int index, const QString& sha1 = {});
    BWError flush();

private:
    TransferJobTable& m_table;
    const qint64 m_jobId;
    std::mutex m_mutex;
    QList<QPair<int, QString>> m_pending;
};

} // namespace nubo::transfer
