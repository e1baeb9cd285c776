// The file page's operation commands: the action methods behind the toolbar, the menus and the
// keyboard, the end of in-place editing, the fixed alerts, and the replies of create, rename and
// delete.
#include "ui/files/KZFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "cloud/User.h"
#include "foundation/Dispatch.h"
#include "foundation/Handoff.h"
#include "foundation/SafeAccess.h"
#include "shell/KZAlertController.h"
#include "shell/KZToast.h"
#include "shell/KZURLHandler.h"
#include "shell/KZWindowsManager.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFoldersWindowController.h"
#include "ui/files/KZUploadNameCheck.h"

#include <QLoggingCategory>
#include <QThreadPool>
#include <QUrl>

Q_LOGGING_CATEGORY(lcFileOperations, "nubo.ui.files.operations", QtInfoMsg)

namespace {
constexpr double kReplyToastDelay = 0.1;

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? QString(folder + name)
                                             : QString(folder + QLatin1Char('/') + name);
}
} // namespace

// ---- alerts

KZAlertController* KZFilesViewController::showSyncingAlert() {
    auto* alert = KZAlertController::alertControllerWithTitle(
        QStringLiteral("操作失败"),
        QStringLiteral("当前选择含有同步文件夹，同步文件夹不允许移动、删除、重命名，请先取消同步再重试。"));
    alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("知道了"), KZAlertActionStylePrimary));
    presentWindowController(alert);
    return alert;
}

KZAlertController* KZFilesViewController::showEditingAlert() {
    auto* alert = KZAlertController::alertControllerWithTitle(
        QStringLiteral("操作失败"),
        QStringLiteral("当前选择含有正在编辑的文件，正在编辑的文件夹不允许移动、删除、"
                       "重命名，请完成编辑后再重试。"));
    alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("知道了"), KZAlertActionStylePrimary));
    presentWindowController(alert);
    return alert;
}

KZAlertController* KZFilesViewController::showOverdueAlert() {
    const QVariantMap detail = KZSessionProxy::shareSessionProxy()->userDetail();
    const qint64 package = nubo::safe::int64(detail, QStringLiteral("package_id"));
    const qint64 days = nubo::safe::int64(detail, QStringLiteral("expire_day"));
    const bool trial = package == 1;
    const QString title = (trial ? QStringLiteral("试用套餐已过期，数据还可保留：%1天")
                                 : QStringLiteral("套餐已过期，数据还可保留：%1天"))
                              .arg(days);
    auto* alert = KZAlertController::alertControllerWithTitle(
        title, QStringLiteral("数据清除后不可恢复，请您及时续费"));
    alert->addAction(KZAlertAction::actionWithTitle(
        trial ? QStringLiteral("立即购买") : QStringLiteral("立即续费"), KZAlertActionStylePrimary, this,
        [](const KZAlertAction&) { KZURLHandler::openURLWithLoginJumpKey(QStringLiteral("payment")); }));
    presentWindowController(alert);
    return alert;
}

KZAlertController* KZFilesViewController::showDeleteAlertWithDeleteHandler(std::function<void()> handler) {
    auto* alert = KZAlertController::alertControllerWithWindowTitle(
        QStringLiteral("删除文件"), QStringLiteral("确定要删除已选中文件吗?"),
        QStringLiteral("确定要把选中的文件放入回收站吗？回收站占用您的云盘空间，请及时清理。"));
    alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("删除"), KZAlertActionStyleWarning, this,
                                                    [handler](const KZAlertAction&) {
                                                        if (handler)
                                                            handler();
                                                    }));
    alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("取消"), KZAlertActionStyleCancel));
    presentWindowController(alert);
    return alert;
}

// ---- commands

void KZFilesViewController::uploadFilesButtonsAction() {
    actionUploadFile();
}

void KZFilesViewController::actionUploadFile() {
    closeAllMenus();
    QPointer<KZFilesViewController> self(this);
    KZWindowsManager::shareInstance().showOpenPanelInWindow(viewWindow(), [self](const QList<QUrl>& urls) {
        if (!self || urls.isEmpty())
            return;
        QStringList paths;
        for (const QUrl& u : urls)
            if (u.isLocalFile())
                paths.append(u.toLocalFile());
        self->uploadChosenPaths(paths);
    });
}

void KZFilesViewController::uploadChosenPaths(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    // The destination is the folder open when the user chose, even if the walk takes a while.
    const CloudFileInfoPtr dest = m_fileInfo;
    QPointer<KZFilesViewController> self(this);
    // A big tree takes a while to walk: off the main thread, answered back on it.
    nubo::startOnPool(*QThreadPool::globalInstance(), [self, paths, dest] {
        const KZUploadNameCheck result = KZUploadNameCheck::check(paths);
        nubo::runOnMain([self, paths, dest, result] {
            if (!self)
                return;
            if (result.problem == KZUploadNameCheck::IllegalCharacter)
                qCInfo(lcFileOperations).noquote() << "filePath:" << result.relativePath;
            if (result.problem != KZUploadNameCheck::None) {
                KZToast::showToastWithErrorMessage(self->view(), result.text());
                return;
            }
            self->uploadFiles(paths, dest);
        });
    });
}

void KZFilesViewController::actionCreateDir() {
    closeAllMenus();
    if (User::isNeedPay()) {
        showOverdueAlert();
        return;
    }
    if (m_isEditing)
        return;
    deselectAllRows();
    scrollToTopItem();
    insertLocalCreatingFile();
    m_isEditing = true;
}

void KZFilesViewController::actionDownloadFile() {
    closeAllMenus();
    downloadFiles(m_selectedFiles);
}

void KZFilesViewController::actionShareFile() {
    shareFiles(m_selectedFiles);
}

void KZFilesViewController::actionCancelShare() {
    cancelShareFiles(m_selectedFiles);
}

void KZFilesViewController::actionDeleteFile() {
    closeAllMenus();
    if (operableFiles(m_selectedFiles).isEmpty())
        return;
    QPointer<KZFilesViewController> self(this);
    showDeleteAlertWithDeleteHandler([self] {
        if (!self)
            return;
        const QList<CloudFileInfoPtr> files = self->m_selectedFiles;
        // The guards run inside deleteFiles before anything is sent; the blocking toast only
        // goes up once the request is out, so a refusal never leaves it over the page.
        KZToast::showToast(self->view(), QStringLiteral("正在删除文件..."), false, false);
        if (!self->deleteFiles(files))
            KZToast::hideToast(self->view(), false);
    });
}

void KZFilesViewController::actionFileHistory() {
    if (User::isNeedPay()) {
        showOverdueAlert();
        return;
    }
    const QList<CloudFileInfoPtr> files = operableFiles(m_selectedFiles);
    if (files.isEmpty())
        return;
    const CloudFileInfoPtr& f = files.first();
    KZURLHandler::openURLWithLoginJumpKey(
        QStringLiteral("file_history"),
        {{QStringLiteral("nid"), QString::number(f->nid())}, {QStringLiteral("path"), f->path()}});
}

void KZFilesViewController::actionMoveFile() {
    const QList<CloudFileInfoPtr> files = operableFiles(m_selectedFiles);
    if (files.isEmpty())
        return;
    auto* picker = new KZFoldersWindowController(KZPickerOperationTypeMove, files);
    QPointer<KZFilesViewController> self(this);
    picker->setSelectFolderBlock([self, files](const CloudFileInfoPtr& dest) {
        if (!self || !dest || !self->m_fileInfo)
            return;
        if (dest->path() == self->m_fileInfo->path())
            return;
        self->moveFiles(files, dest);
    });
    presentFolderPicker(picker);
}

void KZFilesViewController::actionCopyFile() {
    const QList<CloudFileInfoPtr> files = operableFiles(m_selectedFiles);
    if (files.isEmpty())
        return;
    auto* picker = new KZFoldersWindowController(KZPickerOperationTypeCopy, files);
    QPointer<KZFilesViewController> self(this);
    picker->setSelectFolderBlock([self, files](const CloudFileInfoPtr& dest) {
        if (self && dest)
            self->copyFiles(files, dest);
    });
    presentFolderPicker(picker);
}

void KZFilesViewController::presentFolderPicker(KZFoldersWindowController* picker) {
    presentSheetModalWindowController(picker);
    // A picker releases itself when its window closes; one that could not be shown goes now.
    if (!KZWindowsManager::shareInstance().isPresented(picker))
        picker->deleteLater();
}

void KZFilesViewController::actionRenameFile() {
    if (User::isNeedPay()) {
        showOverdueAlert();
        return;
    }
    makeRenameFileFocus();
}

// ---- end of in-place editing

bool KZFilesViewController::isNameFieldOpen() const {
    return isViewLoaded() && editingNameField(viewWindow()) != nullptr;
}

bool KZFilesViewController::waitForNameField(std::function<void()> apply) {
    if (!isNameFieldOpen())
        return false;
    m_waitingForNameField.append(std::move(apply));
    return true;
}

void KZFilesViewController::resumeAfterNameField() {
    if (m_waitingForNameField.isEmpty())
        return;
    // Queued: the edit's cell is still inside its own end-of-editing call, and a reply may give
    // it another row. What waits runs in order unless a field opened again meanwhile.
    nubo::runOn(this, [this] {
        while (!m_waitingForNameField.isEmpty() && !isNameFieldOpen())
            m_waitingForNameField.takeFirst()();
    });
}

void KZFilesViewController::textFieldDidAbandonEditing(KZTextFieldFocuse* sender) {
    if (!sender)
        return;
    auto* source = dynamic_cast<KZFileViewDataSource*>(sender);
    const CloudFileInfoPtr f = source ? source->fileInfo() : nullptr;
    sender->unfocus();
    m_isEditing = false;
    // A folder that is never sent leaves no placeholder behind.
    if (auto local = std::dynamic_pointer_cast<KZLocalFileInfo>(f);
        local && m_creatingFiles.contains(local)) {
        m_creatingFiles.removeAll(local);
        if (const qsizetype row = m_files.indexOf(local.get()); row >= 0) {
            m_files.removeAt(row);
            deleteRowsAtIndexs(kit::IndexSet(int(row)));
        }
    }
    resumeAfterNameField();
}

void KZFilesViewController::textFieldDidResignFirstResponder(KZTextFieldFocuse* sender) {
    if (!sender)
        return;
    // Whatever the end of this edit sends, what waited for it comes after.
    resumeAfterNameField();
    auto* source = dynamic_cast<KZFileViewDataSource*>(sender);
    const CloudFileInfoPtr f = source ? source->fileInfo() : nullptr;
    const QString text = sender->textFieldContent();
    // Decided before unfocus: a grid tile writes the edited name into its record there.
    const bool sameName = f && f->name() == text;
    sender->unfocus();
    m_isEditing = false;
    if (!f)
        return;
    if (auto* local = dynamic_cast<KZLocalFileInfo*>(f.get())) {
        // A placeholder dropped by a reload in the meantime is not sent.
        if (!m_creatingFiles.contains(std::static_pointer_cast<KZLocalFileInfo>(f)))
            return;
        if (KZUploadNameCheck::hasIllegalCharacter(text)) {
            // One path component only: "a/b" must never create "b" inside "a".
            KZToast::showToastWithWarningMessage(view(), KZFileInfoCell::kLimitedCharacterWarning);
            reloadFiles();
            return;
        }
        local->setName(text);
        local->setPath(joinPath(m_fileInfo ? m_fileInfo->path() : QStringLiteral("/"), text));
        KZToast::showToast(view(), QStringLiteral("正在创建文件夹..."), false, false);
        if (!createDir(local->path())) {
            // Refused before anything was sent: the placeholder goes with a reload.
            KZToast::hideToast(view(), false);
            reloadFiles();
        }
        return;
    }
    if (sameName)
        return;
    KZToast::showToast(view(), QStringLiteral("正在重命名..."), false, false);
    if (!renameFile(f->clone(), text)) {
        // The cell shows the typed name already; the reload brings the real one back.
        KZToast::hideToast(view(), false);
        reloadFiles();
    }
}

// ---- replies

void KZFilesViewController::kzSessionRequestDeleteFile(KZAbstractSession*, qint64, const QVariantMap&) {
    KZToast::showToastWithSucessMessageAfterDelay(view(), QStringLiteral("文件删除成功"), kReplyToastDelay);
    deselectAllRows();
}

void KZFilesViewController::kzSessionRequestDeleteFileFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                           const BWError& error) {
    KZToast::showToastWithErrorMessageAfterDelay(view(), error.localizedDescription(), kReplyToastDelay);
    reloadFiles();
}

void KZFilesViewController::kzSessionRequestCreateDir(KZAbstractSession*, qint64, const QVariantMap&) {
    KZToast::showToastWithSucessMessageAfterDelay(view(), QStringLiteral("文件夹创建成功"), kReplyToastDelay);
}

void KZFilesViewController::kzSessionRequestCreateDirFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                          const BWError& error) {
    KZToast::showToastWithErrorMessageAfterDelay(view(), error.localizedDescription(), kReplyToastDelay);
    reloadFiles();
}

void KZFilesViewController::kzSessionRequestRenameFile(KZAbstractSession*, qint64, const QVariantMap&) {
    KZToast::showToastWithSucessMessageAfterDelay(view(), QStringLiteral("文件重命名成功"), kReplyToastDelay);
    requestIncrFiles();
}

void KZFilesViewController::kzSessionRequestRenameFileFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                           const BWError& error) {
    KZToast::showToastWithErrorMessage(view(), error.localizedDescription());
    reloadFiles();
}
