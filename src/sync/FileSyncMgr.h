#pragma once

#include "foundation/Dispatch.h"
#include "service/CloudService.h"
#include "sync/SyncOperationQueue.h"
#include "transfer/TransferJobTable.h"

#include <memory>
#include <mutex>

namespace nubo {
template <class T> class SingletonT;
}

namespace nubo::sync {

// What the cloud-side and the local-side sync managers share: their queue, the service their
// operations use, and the answers to a conflict that the queue's thread waits for.
class FileSyncMgr {
public:
    // The managers are process-wide (nubo::SingletonT). Work on the background thread reaches
    // them by reference, so a reset ends them there; it joins the queue's thread, and whatever was
    // queued is dropped. Reset the proxy that listens to one along with it.
    static constexpr bool kEndsOnBackgroundThread = true;

    void setService(std::shared_ptr<CloudService> service);
    void setListener(SyncOperationQueue::Listener l) { m_queue.setListener(std::move(l)); }

    void coverCurrentOperation(const QString& name) { answer(name, SyncAnswer::Cover, false); }
    void coverAllOperation(const QString& name) { answer(name, SyncAnswer::Cover, true); }
    void mergeCurrentOperation(const QString& name) { answer(name, SyncAnswer::Merge, false); }
    void mergeAllOperation(const QString& name) { answer(name, SyncAnswer::Merge, true); }
    void skipCurrentCoverOperation(const QString& name) { answer(name, SyncAnswer::SkipCover, false); }
    void skipAllCoverOperation(const QString& name) { answer(name, SyncAnswer::SkipCover, true); }
    void skipCurrentMergeOperation(const QString& name) { answer(name, SyncAnswer::SkipMerge, false); }
    void skipAllMergeOperation(const QString& name) { answer(name, SyncAnswer::SkipMerge, true); }

    // Drops the queued operations and stops the running one (sign-out).
    void stopAll() { m_queue.stopAll(); }
    int operationCount() const { return m_queue.count(); }

protected:
    explicit FileSyncMgr(const QString& queueName) : m_queue(queueName) {}
    ~FileSyncMgr() = default;
    void answer(const QString& name, SyncAnswer a, bool all) { m_queue.answer(name, a, all); }
    std::shared_ptr<CloudService> service() const;

    SyncOperationQueue m_queue;

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<CloudService> m_service;
};

// The transfer jobs an operation makes, handed to `Engine` (the upload or the download
// manager) in batches on the background thread, so that a big tree shows up while it is still
// walked.
template <class Engine> class JobBatch {
public:
    void add(transfer::TransferJobRecord job) {
        m_jobs.append(std::move(job));
        if (m_jobs.size() >= kSize)
            flush();
    }
    void flush() {
        if (m_jobs.isEmpty())
            return;
        QList<transfer::TransferJobRecord> batch;
        batch.swap(m_jobs);
        KZBackgroundThread::shared().run([batch] { Engine::shared().addJobs(batch); });
    }

private:
    static constexpr int kSize = 256;
    QList<transfer::TransferJobRecord> m_jobs;
};

} // namespace nubo::sync
