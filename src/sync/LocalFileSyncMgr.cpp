#include "sync/LocalFileSyncMgr.h"

#include "foundation/Dispatch.h"
#include "foundation/SingletonT.h"
#include "transfer/CloudPaths.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/LocalTarget.h"
#include "transfer/TransferErrors.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <sys/stat.h>

using namespace nubo;
using namespace nubo::sync;
using namespace nubo::transfer;

namespace {

enum class LocalKind { None, File, Folder, Other };

LocalKind localKind(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return LocalKind::None;
    if (S_ISREG(st.st_mode))
        return LocalKind::File;
    if (S_ISDIR(st.st_mode))
        return LocalKind::Folder;
    return LocalKind::Other; // a link, a device, ...: never written through
}

const QString kDownloadPrefix = QStringLiteral("download:");

class DownloadOperation : public SyncOperation {
public:
    DownloadOperation(std::shared_ptr<CloudService> svc, CloudFileInfoPtr file, QString root)
        : SyncOperation(kDownloadPrefix + QStringLiteral("%1>%2").arg(file->nid()).arg(root), 0),
          m_svc(std::move(svc)), m_file(std::move(file)), m_root(QDir::cleanPath(std::move(root))) {}

    void run() override {
        auto node = m_svc->node(m_file->nid());
        if (!node.ok())
            return fail(node.error);
        if (const LocalKind root = localKind(m_root); root != LocalKind::Folder)
            return fail(localWriteError(m_root, root == LocalKind::None ? ENOENT : ENOTDIR));
        if (node.value.isDir)
            downloadFolder(node.value, m_root);
        else
            downloadFile(node.value, m_root);
        m_jobs.flush();
    }

private:
    void downloadFolder(const ServiceNode& folder, const QString& localParent) {
        if (!isSafeLocalName(folder.name))
            return fail(transferError(kErrUnsafeName, folder.path));
        const QString local = localParent + QLatin1Char('/') + folder.name;
        switch (localKind(local)) {
        case LocalKind::Folder:
            if (ask(conflictError(kErrConflictFolderLocal, local), true) != SyncAnswer::Merge)
                return;
            break;
        case LocalKind::None:
            if (::mkdir(QFile::encodeName(local).constData(), 0755) != 0 && errno != EEXIST)
                return fail(localWriteError(local, errno));
            if (localKind(local) != LocalKind::Folder)
                return fail(transferError(kErrUnsafeTarget, local));
            ++ctrlCount;
            break;
        default:
            return fail(transferError(kErrUnsafeTarget, local));
        }
        auto children = m_svc->children(folder.nid);
        if (!children.ok())
            return fail(children.error);
        for (const ServiceNode& child : children.value) {
            if (stopped())
                return;
            if (child.isDir)
                downloadFolder(child, local);
            else
                downloadFile(child, local);
        }
    }

    void downloadFile(const ServiceNode& file, const QString& localParent) {
        // An unsafe name still becomes a job, which refuses it with its error and writes nothing.
        const QString local = localParent + QLatin1Char('/') + file.name;
        bool replace = false;
        if (isSafeLocalName(file.name) && localKind(local) == LocalKind::File) {
            if (ask(conflictError(kErrConflictFileLocal, local), false) != SyncAnswer::Cover)
                return;
            replace = true;
        }
        m_jobs.add(KZDownloadMgr::makeJob(file, m_root, local, replace));
        ++filesCount;
        ++ctrlCount;
    }

    std::shared_ptr<CloudService> m_svc;
    CloudFileInfoPtr m_file;
    QString m_root;
    JobBatch<KZDownloadMgr> m_jobs;
};

} // namespace

LocalFileSyncMgr& LocalFileSyncMgr::shared() {
    return nubo::SingletonT<LocalFileSyncMgr>::instance();
}

QString LocalFileSyncMgr::downloadDestination(const QString& operation) {
    if (!operation.startsWith(kDownloadPrefix))
        return {};
    const qsizetype mark = operation.indexOf(QLatin1Char('>'), kDownloadPrefix.size());
    return mark < 0 ? QString() : operation.mid(mark + 1);
}

void LocalFileSyncMgr::downloadFileByCloudFile(const CloudFileInfoPtr& file,
                                               const QString& destDiskFilePath) {
    downloadFilesByCloudFiles({file}, destDiskFilePath);
}

void LocalFileSyncMgr::downloadFilesByCloudFiles(const QList<CloudFileInfoPtr>& files,
                                                 const QString& destDiskFilePath) {
    QList<std::shared_ptr<nubo::sync::SyncOperation>> ops;
    for (const auto& file : files)
        if (file)
            ops << std::make_shared<DownloadOperation>(service(), file, destDiskFilePath);
    m_queue.addTogether(ops);
}
