#pragma once

#include "cloud/CloudFileInfo.h"
#include "service/CloudService.h"
#include "sync/SyncOperationQueue.h"

#include <QList>
#include <memory>

// `KZCloudFileSyncType`: the kind of a cloud-side operation in every report.
enum KZCloudFileSyncType : int {
    KZCloudFileSyncTypeUpload = 0,
    KZCloudFileSyncTypeMove = 1,
    KZCloudFileSyncTypeCopy = 4,
};

// The cloud-side operations, queued on "CloudFileSyncMgr" and run one at a time: uploads of a
// local file or folder tree (creating the cloud folders and one upload job per file), and moves
// and copies of cloud nodes. Conflicts ask and wait for the answer on the queue's thread.
class CloudFileSyncMgr {
public:
    static CloudFileSyncMgr& shared();

    void setService(std::shared_ptr<nubo::CloudService> service);
    void setListener(nubo::sync::SyncOperationQueue::Listener l) { m_queue.setListener(std::move(l)); }

    // Any thread; each returns at once.
    void uploadFileByDiskFile(const QString& diskPath, const CloudFileInfoPtr& destFolder);
    void moveWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs, const CloudFileInfoPtr& destFolder);
    void copyWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs, const CloudFileInfoPtr& destFolder);

    void coverCurrentOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Cover, false); }
    void coverAllOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Cover, true); }
    void keepCurrentOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Keep, false); }
    void keepAllOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Keep, true); }
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

    // Drops the queued operations and stops the running one (sign-out).
    void stopAll() { m_queue.stopAll(); }
    int operationCount() const { return m_queue.count(); }

private:
    CloudFileSyncMgr() : m_queue(QStringLiteral("CloudFileSyncMgr")) {}
    void answer(const QString& name, nubo::sync::SyncAnswer a, bool all) { m_queue.answer(name, a, all); }
    std::shared_ptr<nubo::CloudService> service() const;

    nubo::sync::SyncOperationQueue m_queue;
    mutable std::mutex m_mutex;
    std::shared_ptr<nubo::CloudService> m_service;
};
