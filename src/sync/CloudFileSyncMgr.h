#pragma once

#include "cloud/CloudFileInfo.h"
#include "sync/FileSyncMgr.h"

#include <QList>

// `KZCloudFileSyncType`: the kind of a cloud-side operation in every report.
enum KZCloudFileSyncType : int {
    KZCloudFileSyncTypeUpload = 0,
    KZCloudFileSyncTypeMove = 1,
    KZCloudFileSyncTypeCopy = 4,
};

// The cloud-side operations, queued on "CloudFileSyncMgr" and run one at a time: uploads of a
// local file or folder tree (creating the cloud folders and one upload job per file), and moves
// and copies of cloud nodes. Conflicts ask and wait for the answer on the queue's thread.
class CloudFileSyncMgr : public nubo::sync::FileSyncMgr {
public:
    static CloudFileSyncMgr& shared();

    // Any thread; each returns at once.
    void uploadFileByDiskFile(const QString& diskPath, const CloudFileInfoPtr& destFolder);
    // One operation per path; an answer "for all" covers all of them (as for moves and copies).
    void uploadFilesByDiskFiles(const QStringList& diskPaths, const CloudFileInfoPtr& destFolder);
    void moveWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs, const CloudFileInfoPtr& destFolder);
    void copyWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs, const CloudFileInfoPtr& destFolder);

    void keepCurrentOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Keep, false); }
    void keepAllOperation(const QString& name) { answer(name, nubo::sync::SyncAnswer::Keep, true); }

private:
    void addMoveCopy(const QList<CloudFileInfoPtr>& srcs, const CloudFileInfoPtr& destFolder, int type);
    CloudFileSyncMgr() : FileSyncMgr(QStringLiteral("CloudFileSyncMgr")) {}
};
