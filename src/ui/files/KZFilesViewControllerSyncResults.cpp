// The file page's handling of the sync engine's reports: the bottom-bar messages while uploads,
// copies and downloads are prepared, the toasts at their end, the refresh after moves and
// copies, and the same-name questions whose answers go back to the waiting operation.
#include "ui/files/KZFilesViewController.h"

#include "shell/KZAlertController.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZToast.h"
#include "shell/KZWindowsManager.h"
#include "sync/CloudFileSyncMgr.h"
#include "sync/LocalFileSyncMgr.h"
#include "sync/SyncOperationQueue.h"
#include "transfer/TransferErrors.h"

#include <QDir>

using namespace nubo::transfer;

namespace {

const QString kKeepBoth = QStringLiteral("保留两者");
const QString kSkip = QStringLiteral("跳过");
const QString kApplyAll = QStringLiteral("全部应用");
const QString kFileExists = QStringLiteral("当前路径已存在同名文件");
const QString kFolderExists = QStringLiteral("当前路径已存在同名文件夹");

bool isPreparing(quint64 state) {
    return state <= 3; // queued, running or waiting for an answer
}

// Answers "skip" for an alert that closes without any of its buttons (the window manager closed
// it), so that its operation never waits for ever. Each button press marks the alert answered.
std::shared_ptr<bool> skipWhenClosedUnanswered(KZAlertController* alert, QObject* context,
                                               std::function<void()> skip) {
    auto answered = std::make_shared<bool>(false);
    QObject::connect(alert, &QObject::destroyed, context, [answered, skip = std::move(skip)] {
        if (!*answered)
            skip();
    });
    return answered;
}

// A button of a same-name question; `send` gets whether "apply to all" is checked at the press.
struct Choice {
    QString title;
    KZAlertActionStyle style;
    std::function<void(bool applyAll)> send;
};

// A same-name question with an "apply to all" box. Any press counts as the answer; an alert
// closed without one skips.
KZAlertController* sameNameQuestion(const QString& title, const BWError& error, QObject* context,
                                    std::function<void()> skip, const QList<Choice>& choices) {
    auto* alert = KZAlertController::alertControllerWithTitle(title, error.localizedDescription());
    auto answered = skipWhenClosedUnanswered(alert, context, std::move(skip));
    QPointer<KZAlertController> weakAlert(alert);
    for (const Choice& c : choices)
        alert->addAction(KZAlertAction::actionWithTitle(
            c.title, c.style, context, [answered, weakAlert, send = c.send](const KZAlertAction&) {
                *answered = true;
                send(weakAlert && weakAlert->suppressionButtonChecked());
            }));
    alert->setSuppressionText(kApplyAll);
    alert->setShowsSuppressionButton(true);
    return alert;
}

// What a same-name question asks: whether a file is replaced or a folder merged.
enum class Conflict { None, File, Folder };

Conflict cloudConflict(const BWError& error) {
    if (error.code() == kErrConflictFileCloud)
        return Conflict::File;
    return error.code() == kErrConflictFolderUpload ? Conflict::Folder : Conflict::None;
}

Conflict localConflict(const BWError& error) {
    if (error.code() == kErrConflictFileLocal)
        return Conflict::File;
    return error.code() == kErrConflictFolderLocal ? Conflict::Folder : Conflict::None;
}

// Sends an answer to the waiting operation (either proxy): replace the file or merge the folder,
// or skip it; for the current item or, with `applyAll`, for every one that follows.
template <class Proxy>
void reply(Proxy* proxy, const QString& operation, Conflict conflict, bool skip, bool applyAll) {
    if (conflict == Conflict::File && skip)
        applyAll ? proxy->skipAllCoverOperation(operation) : proxy->skipCurrentCoverOperation(operation);
    else if (conflict == Conflict::File)
        applyAll ? proxy->coverAllOperation(operation) : proxy->coverCurrentOperation(operation);
    else if (conflict == Conflict::Folder && skip)
        applyAll ? proxy->skipAllMergeOperation(operation) : proxy->skipCurrentMergeOperation(operation);
    else if (conflict == Conflict::Folder)
        applyAll ? proxy->mergeAllOperation(operation) : proxy->mergeCurrentOperation(operation);
}

} // namespace

// ---- upload proxy

void KZFilesViewController::cloudFileSyncStateChange(quint64 state, quint64, int type) {
    if (type == KZCloudFileSyncTypeUpload || type == KZCloudFileSyncTypeCopy)
        showUploadMessageWithUploadState(state, type);
}

void KZFilesViewController::showUploadMessageWithUploadState(quint64 state, int type) {
    if (!isPreparing(state))
        return;
    QString text;
    if (type == KZCloudFileSyncTypeUpload)
        text = QStringLiteral("正在准备上传文件...");
    else if (type == KZCloudFileSyncTypeCopy)
        text = QStringLiteral("正在复制文件...");
    KZWindowsManager::showUploadMessageInBottomBarMiddleArea(text);
}

void KZFilesViewController::cloudFileSyncFail(const QString& operation, const BWError& error, int type) {
    switch (error.code()) {
    case kErrConflictFolderMove:
        showCanMergeAlertWithName(operation, QStringLiteral("当前路径已存在同名文件,不能够移动"), error);
        return;
    case kErrConflictFileCloud:
        showCloudConflictAlertWithName(operation, QStringLiteral("替换"), kFileExists, error,
                                       type == KZCloudFileSyncTypeCopy);
        return;
    case kErrConflictFolderUpload:
        showCloudConflictAlertWithName(operation, QStringLiteral("合并"), kFolderExists, error, false);
        return;
    default:
        break;
    }
    // A real failure: the user hears of it, and the batch it belongs to is not reported as done.
    m_syncBatchFailed = true;
    KZWindowsManager::showUploadMessageInBottomBarMiddleArea(QString());
    KZToast::showToastWithErrorMessage(view(), error.localizedDescription());
}

void KZFilesViewController::cloudFileSyncSuccess(const QString&, quint64 filesCount, quint64 ctrlCount,
                                                 int type) {
    if (type != KZCloudFileSyncTypeUpload)
        return;
    KZWindowsManager::showUploadMessageInBottomBarMiddleArea(QString());
    if (filesCount != 0)
        KZToast::showToast(view(), QStringLiteral("已加入上传列表"));
    else if (ctrlCount != 0)
        KZToast::showToast(view(), QStringLiteral("文件夹为空，已上传到云端"));
}

void KZFilesViewController::cloudFileSyncCompletion(int type) {
    if (type != KZCloudFileSyncTypeCopy && type != KZCloudFileSyncTypeMove) {
        m_syncBatchFailed = false;
        return;
    }
    const bool failed = m_syncBatchFailed;
    m_syncBatchFailed = false;
    if (!failed)
        KZToast::showToastWithSucessMessage(view(), QStringLiteral("任务完成"));
    if (type == KZCloudFileSyncTypeCopy)
        KZWindowsManager::showUploadMessageInBottomBarMiddleArea(QString());
    requestIncrFiles();
}

// ---- download proxy

void KZFilesViewController::localFileSyncStateChange(quint64 state, quint64, int) {
    showDownloadMessageWithDownloadState(state);
}

void KZFilesViewController::showDownloadMessageWithDownloadState(quint64 state) {
    if (isPreparing(state))
        KZWindowsManager::showDownloadMessageInBottomBarMiddleArea(QStringLiteral("正在准备下载文件..."));
}

void KZFilesViewController::localFileSyncFail(const QString& operation, const BWError& error) {
    switch (error.code()) {
    case kErrConflictFileLocal:
        showLocalConflictAlertWithName(operation, QStringLiteral("替换"), kFileExists, error);
        return;
    case kErrConflictFolderLocal:
        showLocalConflictAlertWithName(operation, QStringLiteral("合并"), kFolderExists, error);
        return;
    default:
        break;
    }
    KZWindowsManager::showDownloadMessageInBottomBarMiddleArea(QString());
    KZToast::showToastWithErrorMessage(view(), error.localizedDescription());
}

void KZFilesViewController::localFileSyncSuccess(const QString& operation, quint64 filesCount,
                                                 quint64 ctrlCount) {
    KZWindowsManager::showDownloadMessageInBottomBarMiddleArea(QString());
    QPointer<KZFilesViewController> self(this);
    auto toast = [self, filesCount, ctrlCount] {
        if (!self)
            return;
        if (filesCount != 0)
            KZToast::showToast(self->view(), QStringLiteral("已加入下载列表"));
        else if (ctrlCount != 0)
            KZToast::showToastWithSucessMessage(self->view(), QStringLiteral("文件夹为空，已保存到本地"));
    };
    // A drag-out's downloads are news only once its drop target took them.
    if (!m_dragOut.staging.isEmpty() && QDir::cleanPath(LocalFileSyncMgr::downloadDestination(operation)) ==
                                            QDir::cleanPath(m_dragOut.staging)) {
        m_dragOut.queuedToast = toast;
        return;
    }
    toast();
}

// ---- questions

KZAlertController* KZFilesViewController::showCanMergeAlertWithName(const QString& operation,
                                                                    const QString& title,
                                                                    const BWError& error) {
    KZToast::hideToast(view(), false);
    auto* alert = KZAlertController::alertControllerWithTitle(title, error.localizedDescription());
    const auto skip = [operation] {
        KZUploadMgrProxy::shareUploadMgrProxy()->skipCurrentMergeOperation(operation);
    };
    auto answered = skipWhenClosedUnanswered(alert, this, skip);
    // The answer goes to the proxy whatever became of the page, so the operation never waits on it.
    alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("知道了"), KZAlertActionStylePrimary,
                                                    KZUploadMgrProxy::shareUploadMgrProxy(),
                                                    [answered, skip](const KZAlertAction&) {
                                                        *answered = true;
                                                        skip();
                                                    }));
    presentWindowController(alert);
    return alert;
}

KZAlertController* KZFilesViewController::showCloudConflictAlertWithName(const QString& operation,
                                                                         const QString& conflict,
                                                                         const QString& title,
                                                                         const BWError& error,
                                                                         bool keepBoth) {
    KZToast::hideToast(view(), false);
    QList<Choice> choices;
    if (keepBoth)
        choices.append({kKeepBoth, KZAlertActionStylePrimary, [this, operation, error](bool all) {
                            solveConflictCloudFile(operation, error, true, all);
                        }});
    choices.append({conflict, KZAlertActionStylePrimary, [this, operation, error](bool all) {
                        solveConflictCloudFile(operation, error, false, all);
                    }});
    choices.append({kSkip, KZAlertActionStyleCancel,
                    [this, operation, error](bool all) { skipConflictCloudFile(operation, error, all); }});
    auto* alert = sameNameQuestion(
        title, error, this, [this, operation, error] { skipConflictCloudFile(operation, error, false); },
        choices);
    presentWindowController(alert);
    return alert;
}

KZAlertController* KZFilesViewController::showLocalConflictAlertWithName(const QString& operation,
                                                                         const QString& conflict,
                                                                         const QString& title,
                                                                         const BWError& error) {
    auto* alert = sameNameQuestion(
        title, error, this, [this, operation, error] { skipLocalFileConflict(operation, error, false); },
        {{conflict, KZAlertActionStylePrimary,
          [this, operation, error](bool all) { solveLocalFileConflict(operation, error, all); }},
         {kSkip, KZAlertActionStyleCancel,
          [this, operation, error](bool all) { skipLocalFileConflict(operation, error, all); }}});
    presentWindowController(alert);
    return alert;
}

// ---- answers: exactly one proxy call per answer, chosen by the conflict's code

void KZFilesViewController::solveConflictCloudFile(const QString& operation, const BWError& error,
                                                   bool keepBoth, bool applyAll) {
    KZUploadMgrProxy* proxy = KZUploadMgrProxy::shareUploadMgrProxy();
    if (error.code() == kErrConflictFolderMove)
        proxy->skipCurrentMergeOperation(operation); // a moved folder is never merged
    else if (keepBoth && error.code() == kErrConflictFileCloud)
        applyAll ? proxy->keepAllOperation(operation) : proxy->keepCurrentOperation(operation);
    else
        reply(proxy, operation, cloudConflict(error), false, applyAll);
}

void KZFilesViewController::skipConflictCloudFile(const QString& operation, const BWError& error,
                                                  bool applyAll) {
    KZUploadMgrProxy* proxy = KZUploadMgrProxy::shareUploadMgrProxy();
    if (error.code() == kErrConflictFolderMove)
        proxy->skipCurrentMergeOperation(operation);
    else
        reply(proxy, operation, cloudConflict(error), true, applyAll);
}

void KZFilesViewController::solveLocalFileConflict(const QString& operation, const BWError& error,
                                                   bool applyAll) {
    reply(KZDownloadMgrProxy::shareDownloadMgrProxy(), operation, localConflict(error), false, applyAll);
}

void KZFilesViewController::skipLocalFileConflict(const QString& operation, const BWError& error,
                                                  bool applyAll) {
    reply(KZDownloadMgrProxy::shareDownloadMgrProxy(), operation, localConflict(error), true, applyAll);
}
