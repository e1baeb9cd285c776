#pragma once

#include "cloud/CloudFileInfo.h"
#include "sync/FileSyncMgr.h"

// The local-side operations, queued on "LocalFileSyncMgr" and run one at a time: a download of
// a cloud file or folder tree into a local folder, making the local folders and one download
// job per file. Conflicts with local items ask and wait for the answer on the queue's thread.
class LocalFileSyncMgr : public nubo::sync::FileSyncMgr {
public:
    // Reset with SingletonT<LocalFileSyncMgr>::reset() (see FileSyncMgr).
    static LocalFileSyncMgr& shared();

    // Any thread; returns at once.
    void downloadFileByCloudFile(const CloudFileInfoPtr& file, const QString& destDiskFilePath);
    // One operation per file; an answer "for all" covers all of them.
    void downloadFilesByCloudFiles(const QList<CloudFileInfoPtr>& files, const QString& destDiskFilePath);
    // The local folder a download operation (by the name its reports carry) writes into; empty
    // for any other operation.
    static QString downloadDestination(const QString& operation);

private:
    friend class nubo::SingletonT<LocalFileSyncMgr>;
    LocalFileSyncMgr() : FileSyncMgr(QStringLiteral("LocalFileSyncMgr")) {}
};
