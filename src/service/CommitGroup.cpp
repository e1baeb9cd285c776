#include "service/CommitGroup.h"

#include "service/BlobStore.h"
#include "service/ServiceInternal.h"
#include "storage/Database.h"

#include <QSet>

namespace nubo {

using namespace service_detail;

BWError CommitGroup::commit(const QStringList& blocks, const Write& write) {
    Pending mine{&blocks, &write, {}, false};
    std::unique_lock<std::mutex> lock(m_mutex);
    m_waiting.push_back(&mine);
    while (!mine.done) {
        if (m_flushing) {
            m_flushed.wait(lock);
            continue;
        }
        // Nobody is flushing: this thread flushes every commit waiting, its own among them.
        m_flushing = true;
        std::vector<Pending*> group;
        group.swap(m_waiting);
        lock.unlock();
        flush(group);
        lock.lock();
        for (Pending* p : group)
            p->done = true;
        m_flushing = false;
        m_flushed.notify_all();
    }
    return mine.result;
}

int CommitGroup::waitingCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_waiting.size());
}

void CommitGroup::flush(const std::vector<Pending*>& group) {
    // Every block reaches the disk before any row that points to it.
    QStringList blocks;
    QSet<QString> seen;
    for (const Pending* p : group)
        for (const QString& b : *p->blocks)
            if (!seen.contains(b)) {
                seen.insert(b);
                blocks.append(b);
            }
    if (BWError err = m_blobs.sync(blocks)) {
        for (Pending* p : group)
            p->result = err;
        return;
    }
    Database::Transaction t(m_db);
    if (t.error()) {
        for (Pending* p : group)
            p->result = storageFailure(t.error());
        return;
    }
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
    if (!broken)
        broken = t.commit();
    if (broken) {
        for (Pending* p : group)
            if (!p->result)
                p->result = storageFailure(broken);
    }
}

} // namespace nubo
