#pragma once

#include "cloud/CloudFileInfo.h"
#include "service/CloudService.h"
#include "sync/SyncOperationQueue.h"

#include <memory>

// The local-side operations, queued on "LocalFileSyncMgr" and run one at a time: a download of
// a cloud file or folder tree into a local folder, making the local folders and one download
// job per file. Conflicts with local items ask and wait for the answer on the queue's thread.
class LocalFileSyncMgr {
public:
    static LocalFileSyncMgr& shared();

    void setService(std::shared_ptr<nubo::CloudService> service);
    void setListener(nubo::sync::SyncOperationQueue::Listener l) { m_queue.setListener(std::move(l)); }

    // Any thread; returns at once.
    void downloadFileByCloudFile(const CloudFileInfoPtr& file, const QString& destDiskFilePath);

    void coverCurrentOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Cover, false); }
    void coverAllOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Cover, true); }
    void mergeCurrentOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Merge, false); }
    void mergeAllOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Merge, true); }
    void skipCurrentCoverOperation(const QString& name) {
        answer(name, nubo::sync::SyncAnswer::SkipCover, false);
    }
    void skipAllCoverOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::SkipCover, true); }
    void skipCurrentMergeOperation(const QString& name) {
        answer(name, nubo::sync::SyncAnswer::SkipMerge, false);
    }
    void skipAllMergeOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::SkipMerge, true); }

    void stopAll() { m_queue.stopAll(); }
    int operationCount() const { return m_queue.count(); }

private:
    LocalFileSyncMgr() : m_queue(QStringLiteral("LocalFileSyncMgr")) {}
    void answer(const QString& name, nubo::sync::SyncAnswer a, bool all) { m_queue.answer(name, a, all); }
    std::shared_ptr<nubo::CloudService> service() const;

    nubo::sync::SyncOperationQueue m_queue;
    mutable std::mutex m_mutex;
    std::shared_ptr<nubo::CloudService> m_service;
};
