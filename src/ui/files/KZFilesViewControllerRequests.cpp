// The file page's cloud requests: the guards of each operation, then the session proxy or one of
// the transfer proxies; and the replies of share and cancel-share.
#include "ui/files/KZFilesViewController.h"

#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "cloud/User.h"
#include "foundation/SingletonT.h"
#include "shell/KZBaseWindowController.h"
#include "shell/KZRouter.h"
#include "shell/KZToast.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "storage/SystemConfig.h"

#include <QFileInfo>
#include <QUrl>

namespace {

constexpr double kReplyToastDelay = 0.1;

// Which guards an operation runs, in this order.
enum Guard { kPlan = 1, kLocks = 2 };

} // namespace

QList<CloudFileInfoPtr> KZFilesViewController::operableFiles(const QList<CloudFileInfoPtr>& files) {
    QList<CloudFileInfoPtr> out;
    out.reserve(files.size());
    for (const CloudFileInfoPtr& f : files)
        if (f && !KZLocalFileInfo::isLocal(f.get()))
            out.append(f);
    return out;
}

bool KZFilesViewController::syncingForFiles(const QList<CloudFileInfoPtr>& files) {
    return std::any_of(files.begin(), files.end(),
                       [](const CloudFileInfoPtr& f) { return f && f->m_isSync(); });
}

bool KZFilesViewController::editingForFiles(const QList<CloudFileInfoPtr>& files) {
    return std::any_of(files.begin(), files.end(),
                       [](const CloudFileInfoPtr& f) { return f && f->m_isEditLock(); });
}

// The guards of one operation; a refusal shows its alert and answers true.
static bool refused(KZFilesViewController* page, int guards, const QList<CloudFileInfoPtr>& files) {
    if ((guards & kPlan) && User::isNeedPay()) {
        page->showOverdueAlert();
        return true;
    }
    if (guards & kLocks) {
        if (KZFilesViewController::syncingForFiles(files)) {
            page->showSyncingAlert();
            return true;
        }
        if (KZFilesViewController::editingForFiles(files)) {
            page->showEditingAlert();
            return true;
        }
    }
    return false;
}

bool KZFilesViewController::createDir(const QString& path) {
    if (refused(this, kPlan, {}))
        return false;
    KZSessionProxy::shareSessionProxy()->requestCreateDir(path, this, {});
    return true;
}

bool KZFilesViewController::refusedFileSystemRoot(const QStringList& paths) {
    // Paths from other programs come here clean, so the root is always written "/".
    if (!paths.contains(QStringLiteral("/")))
        return false;
    KZToast::showToastWithErrorMessage(view(), QStringLiteral("不能上传系统根目录“/”"));
    return true;
}

bool KZFilesViewController::uploadFiles(const QStringList& paths, const CloudFileInfoPtr& destFile) {
    if (refusedFileSystemRoot(paths) || refused(this, kPlan, {}))
        return false;
    if (paths.isEmpty() || !destFile)
        return false;
    KZUploadMgrProxy::shareUploadMgrProxy()->uploadFilesByDiskFiles(paths, destFile);
    return true;
}

void KZFilesViewController::downloadFiles(const QList<CloudFileInfoPtr>& files) {
    const QList<CloudFileInfoPtr> chosen = operableFiles(files);
    if (chosen.isEmpty())
        return;
    auto& config = nubo::SingletonT<nubo::SystemConfig>::instance();
    if (!config.getShouldSelectDownloadPath()) {
        downloadFiles(chosen, config.getDownloadPath());
        return;
    }
    QPointer<KZFilesViewController> self(this);
    KZWindowsManager::shareInstance().showPathPanelInWindow(
        viewWindow(), [self, chosen](const QList<QUrl>& urls) {
            if (self && !urls.isEmpty())
                self->downloadFiles(chosen, urls.first().toLocalFile());
        });
}

bool KZFilesViewController::downloadFiles(const QList<CloudFileInfoPtr>& files, const QString& path) {
    // Checked here so that a folder that went or cannot be written is never reported as started.
    if (const QString problem = KZTools::downloadFolderProblem(path); !problem.isEmpty()) {
        KZToast::showToastWithErrorMessage(view(), problem);
        return false;
    }
    const QFileInfo folder(path);
    const QList<CloudFileInfoPtr> chosen = operableFiles(files);
    if (chosen.isEmpty())
        return false;
    KZDownloadMgrProxy::shareDownloadMgrProxy()->downloadFilesByCloudFiles(chosen, folder.absoluteFilePath());
    return true;
}

bool KZFilesViewController::deleteFiles(const QList<CloudFileInfoPtr>& files) {
    const QList<CloudFileInfoPtr> chosen = operableFiles(files);
    if (refused(this, kPlan | kLocks, chosen))
        return false;
    if (chosen.isEmpty())
        return false;
    KZSessionProxy::shareSessionProxy()->requestDeleteFile(chosen, this, {});
    return true;
}

bool KZFilesViewController::renameFile(const CloudFileInfoPtr& file, const QString& newName) {
    const QList<CloudFileInfoPtr> chosen = operableFiles({file});
    if (refused(this, kPlan | kLocks, chosen))
        return false;
    if (chosen.isEmpty())
        return false;
    KZSessionProxy::shareSessionProxy()->requestRenameFile(file, newName, this, {});
    return true;
}

bool KZFilesViewController::moveFiles(const QList<CloudFileInfoPtr>& files,
                                      const CloudFileInfoPtr& destFile) {
    const QList<CloudFileInfoPtr> chosen = operableFiles(files);
    if (refused(this, kPlan | kLocks, chosen))
        return false;
    if (chosen.isEmpty() || !destFile)
        return false;
    KZUploadMgrProxy::shareUploadMgrProxy()->moveWithSrcCloudFile(chosen, destFile);
    return true;
}

bool KZFilesViewController::copyFiles(const QList<CloudFileInfoPtr>& files,
                                      const CloudFileInfoPtr& destFile) {
    const QList<CloudFileInfoPtr> chosen = operableFiles(files);
    if (refused(this, kPlan, chosen))
        return false;
    if (chosen.isEmpty() || !destFile)
        return false;
    KZUploadMgrProxy::shareUploadMgrProxy()->copyWithSrcCloudFile(chosen, destFile);
    return true;
}

bool KZFilesViewController::shareFiles(const QList<CloudFileInfoPtr>& files) {
    const QList<CloudFileInfoPtr> chosen = operableFiles(files);
    if (refused(this, kPlan, chosen))
        return false;
    if (chosen.isEmpty())
        return false;
    KZSessionProxy::shareSessionProxy()->requestShareFiles(
        chosen, this, {{KZSession::kShareTypeKey, KZSession::kShareTypePath}});
    return true;
}

bool KZFilesViewController::cancelShareFiles(const QList<CloudFileInfoPtr>& files) {
    const QList<CloudFileInfoPtr> chosen = operableFiles(files);
    if (refused(this, kPlan, chosen))
        return false;
    if (chosen.isEmpty())
        return false;
    KZSessionProxy::shareSessionProxy()->requestCancelShare(
        chosen, this, {{KZSession::kShareTypeKey, KZSession::kShareCancelTypePath}});
    return true;
}

// ---- share replies

void KZFilesViewController::kzSessionRequestShareFiles(KZAbstractSession*, qint64,
                                                       const ShareInfoPtr& shareInfo, const QVariantMap&) {
    if (!shareInfo)
        return;
    // The share window lives in a layer above; it is reached by its class name.
    auto* window = KZRouter::shareInstance().entityWithClass<KZBaseWindowController>(
        kShareWindowClassName, {{kShareInfoParam, QVariant::fromValue(shareInfo)}});
    if (window)
        presentWindowController(window);
}

void KZFilesViewController::kzSessionRequestShareFilesFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                           const BWError& error) {
    const QString text = error.localizedDescription();
    KZToast::showToastWithErrorMessageAfterDelay(
        view(), text.isEmpty() ? QStringLiteral("分享失败，请重试") : text, kReplyToastDelay);
}

void KZFilesViewController::kzSessionRequestCancelShare(KZAbstractSession*, qint64, const QVariantMap&) {
    KZToast::showToastWithSucessMessageAfterDelay(view(), QStringLiteral("取消成功"), kReplyToastDelay);
}

void KZFilesViewController::kzSessionRequestCancelShareFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                            const BWError& error) {
    const QString text = error.localizedDescription();
    KZToast::showToastWithErrorMessageAfterDelay(
        view(), text.isEmpty() ? QStringLiteral("取消失败，请重试") : text, kReplyToastDelay);
}
