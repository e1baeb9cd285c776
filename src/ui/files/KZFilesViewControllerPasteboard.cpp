// Cut, copy and paste of cloud files through the general pasteboard, and local files pasted from
// a file manager, which become an upload into the open folder.
#include "ui/files/KZFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "cloud/User.h"
#include "kit/Pasteboard.h"
#include "shell/KZAlertController.h"
#include "shell/KZToast.h"

namespace {
void putOnPasteboard(KZFilesViewController* page, quint64 type) {
    if (User::isNeedPay()) {
        page->showOverdueAlert();
        return;
    }
    const QList<CloudFileInfoPtr> files = KZFilesViewController::operableFiles(page->selectedFiles());
    if (files.isEmpty() || (page->fileInfo() && page->fileInfo()->isSearch()))
        return;
    KZSessionProxy* proxy = KZSessionProxy::shareSessionProxy();
    KZPasteboardItem(files, type, proxy->userId(), proxy->enterpriseId()).writeToGeneralPasteboard();
    KZToast::showToast(page->view(), QStringLiteral("已加入粘贴板"));
}
} // namespace

void KZFilesViewController::cutFileToPasteboard() {
    putOnPasteboard(this, KZPasteboardItem::kTypeCut);
}

void KZFilesViewController::copyFileToPasteboard() {
    putOnPasteboard(this, KZPasteboardItem::kTypeCopy);
}

QList<QUrl> KZFilesViewController::URLsOfPasteboardFiles() const {
    return kit::Pasteboard::general().readFileURLs();
}

KZPasteboardItemPtr KZFilesViewController::cloudFilesItemInPasteboard() const {
    KZSessionProxy* proxy = KZSessionProxy::shareSessionProxy();
    return KZPasteboardItem::readFromGeneralPasteboard(
        proxy->userId(), proxy->enterpriseId(), [proxy](qint64 nid) { return proxy->currentNode(nid); });
}

bool KZFilesViewController::checkUploadFilesOnPasteboard() {
    const QList<QUrl> urls = URLsOfPasteboardFiles();
    if (urls.isEmpty())
        return false;
    QStringList paths;
    for (const QUrl& url : urls)
        paths.append(url.toLocalFile());
    uploadFiles(paths, m_fileInfo);
    return true;
}

void KZFilesViewController::pasteFileToCloud() {
    if (!m_fileInfo || m_fileInfo->isSearch())
        return;
    if (checkUploadFilesOnPasteboard())
        return;
    const KZPasteboardItemPtr item = cloudFilesItemInPasteboard();
    if (!item || item->contents().isEmpty())
        return;
    const QString destination = m_fileInfo->fixedPath();
    for (const CloudFileInfoPtr& c : item->contents()) {
        // Only a folder can hold the destination; a file "/docs/report" may well go into
        // "/docs/report 2024/".
        if (c->isDirectory() && destination.startsWith(c->fixedPath())) {
            showPasteToChildAlert(c->path());
            return;
        }
    }
    const bool sent = item->type() == KZPasteboardItem::kTypeCopy ? copyFiles(item->contents(), m_fileInfo)
                                                                  : moveFiles(item->contents(), m_fileInfo);
    // A paste a guard refused (the plan, a lock) keeps the pasteboard for a later try.
    if (sent)
        kit::Pasteboard::general().clearContents();
}

KZAlertController* KZFilesViewController::showPasteToChildAlert(const QString& path) {
    KZToast::hideToast(view(), false);
    auto* alert = KZAlertController::alertControllerWithTitle(
        QString(), QStringLiteral("不能黏贴到 %1 到该文件夹及子文件夹中").arg(path));
    alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("知道了"), KZAlertActionStylePrimary));
    presentWindowController(alert);
    return alert;
}
