#include "service/CommitGroup.h"

#include "service/BlobStore.h"
#include "service/ServiceInternal.h"
#include "storage/Database.h"

#include <QSet>

namespace nubo {

using namespace service_detail;

BWError CommitGroup::commit(const QStringList& blocks, const Write& write) {
    Pending mine(&blocks, &write);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_waiting.push_back(&mine);
    ++m_pending;
    m_changed.notify_all(); // a leader gathering its group counts the arrivals
    // A group may sync its blocks while the one before it writes its rows, no further ahead.
    m_changed.wait(lock, [&] { return mine.taken || (!m_syncing && m_synced < 2); });
    if (!mine.taken) {
        // This thread leads every commit waiting, its own among them. Fewer than the last group
        // held are likely followed by the rest at once: one flush for all of them costs less than
        // one each, so it waits for them a little.
        m_syncing = true;
        m_changed.wait_for(lock, kGather, [&] { return m_waiting.size() >= m_lastGroup; });
        std::vector<Pending*> group;
        group.swap(m_waiting);
        for (Pending* p : group)
            p->taken = true;
        m_lastGroup = group.size();
        lock.unlock();
        const BWError synced = syncBlocks(group);
        lock.lock();
        m_syncing = false;
        ++m_synced;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return !m_writing; });
        m_writing = true;
        lock.unlock();
        writeRows(group, synced);
        lock.lock();
        m_writing = false;
        --m_synced;
        for (Pending* p : group)
            p->done = true;
        m_changed.notify_all();
    }
    m_changed.wait(lock, [&] { return mine.done; });
    --m_pending;
    return mine.result;
}

int CommitGroup::pendingCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending;
}

BWError CommitGroup::syncBlocks(const std::vector<Pending*>& group) {
    // Every block reaches the disk before any row that points to it.
    QStringList blocks;
    QSet<QString> seen;
    for (const Pending* p : group)
        for (const QString& b : *p->blocks)
            if (!seen.contains(b)) {
                seen.insert(b);
                blocks.append(b);
            }
    return m_blobs.sync(blocks);
}

void CommitGroup::writeRows(const std::vector<Pending*>& group, const BWError& synced) {
    if (synced) {
        for (Pending* p : group)
            p->result = synced;
        return;
    }
    // The rows commit without waiting for the disk, and the wait comes after the connection is
    // free again: the other uploads' calls need not queue behind the disk.
    BWError broken = commitRows(group);
    if (!broken)
        broken = m_db.syncCommitted();
    if (broken) {
        for (Pending* p : group)
            if (!p->result)
                p->result = storageFailure(broken);
    }
}

BWError CommitGroup::commitRows(const std::vector<Pending*>& group) {
    Database::Transaction t(m_db, Database::Transaction::Sync::Unsynced);
    if (t.error())
        return t.error();
    // Each commit in a savepoint of its own, so that one refused undoes only its own rows. When
    // a savepoint cannot be undone or ended, the transaction may be gone with it: the whole
    // group fails and nothing of it is kept.
    BWError broken;
    for (Pending* p : group) {
        if (!broken)
            broken = m_db.exec(QStringLiteral("SAVEPOINT one_commit"));
        if (broken)
            break;
        p->result = (*p->write)();
        if (p->result)
            broken = m_db.exec(QStringLiteral("ROLLBACK TO one_commit"));
        if (!broken)
            broken = m_db.exec(QStringLiteral("RELEASE one_commit"));
    }
    return broken ? broken : t.commit();
}

} // namespace nubo
