#pragma once

#include "foundation/Result.h"

#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace nubo {

class BlobStore;
class Database;

// Commits that must reach the disk, grouped: while one group is being made durable, the commits
// that arrive wait, and the next of them to run takes all that are waiting as one group (having
// waited up to kGather for as many as the last group held). A group
// syncs the blocks of all its commits at once, then writes their rows in one transaction and
// waits for the disk after the connection is free again; the next group may sync its blocks
// meanwhile. Each caller returns
// only after its own rows are durable; a commit that fails leaves the others of its group
// unharmed.
class CommitGroup {
public:
    // How long a group may wait for as many commits as the last one held: their callers (the
    // uploads running side by side) come back with their next commits in about that time.
    static constexpr std::chrono::microseconds kGather{1000};

    // Writes one commit's rows inside the group's transaction; a set error undoes them.
    using Write = std::function<BWError()>;

    CommitGroup(Database& db, BlobStore& blobs) : m_db(db), m_blobs(blobs) {}

    // Makes `blocks` durable, then runs `write` and makes its rows durable; the error of either.
    BWError commit(const QStringList& blocks, const Write& write);

    // Commits called and not yet returned (tests).
    int pendingCount();

private:
    struct Pending {
        Pending(const QStringList* b, const Write* w) : blocks(b), write(w) {}
        const QStringList* blocks;
        const Write* write;
        BWError result;
        bool taken = false; // in a group that a leader runs
        bool done = false;
    };
    BWError syncBlocks(const std::vector<Pending*>& group);
    void writeRows(const std::vector<Pending*>& group, const BWError& synced);
    // The group's rows in one transaction, committed without waiting for the disk.
    BWError commitRows(const std::vector<Pending*>& group);

    Database& m_db;
    BlobStore& m_blobs;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Pending*> m_waiting;
    int m_pending = 0;
    bool m_syncing = false; // a group is gathering or syncing its blocks
    size_t m_lastGroup = 0; // commits in the group taken last
    int m_synced = 0;       // groups synced and not yet written (one writing, one waiting at most)
    bool m_writing = false;
};

} // namespace nubo
