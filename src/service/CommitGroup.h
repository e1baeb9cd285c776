#pragma once

#include "foundation/Result.h"

#include <QStringList>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace nubo {

class BlobStore;
class Database;

// Commits that must reach the disk, grouped: while one group is being made durable, the commits
// that arrive wait, and the next of them to run takes all that are waiting as one group. A group
// syncs the blocks of all its commits at once, then writes their rows in one transaction whose
// commit waits for the disk. Each caller returns only after its own rows are durable; a commit
// that fails leaves the others of its group unharmed.
class CommitGroup {
public:
    // Writes one commit's rows inside the group's transaction; a set error undoes them.
    using Write = std::function<BWError()>;

    CommitGroup(Database& db, BlobStore& blobs) : m_db(db), m_blobs(blobs) {}

    // Makes `blocks` durable, then runs `write` and makes its rows durable; the error of either.
    BWError commit(const QStringList& blocks, const Write& write);

    // Commits waiting for the flush under way (tests).
    int waitingCount();

private:
    struct Pending {
        const QStringList* blocks;
        const Write* write;
        BWError result;
        bool done = false;
    };
    void flush(const std::vector<Pending*>& group);

    Database& m_db;
    BlobStore& m_blobs;
    std::mutex m_mutex;
    std::condition_variable m_flushed;
    std::vector<Pending*> m_waiting;
    bool m_flushing = false;
};

} // namespace nubo
