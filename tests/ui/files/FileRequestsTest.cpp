// The page's guarded requests: what is refused (and then never reaches the service), the download
// folder choice and the share replies.
#include "FileOpsFixture.h"

#include "foundation/SingletonT.h"
#include "shell/KZBaseWindowController.h"
#include "shell/KZRouter.h"
#include "shell/KZWindowsManager.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "transport/KZDownloadMgrProxy.h"

#include <QDir>
#include <QFileDialog>

using namespace nubo::test;

namespace {

// Stands in for the share window, which is made by class name through the router.
class ShareWindowStandIn : public KZBaseWindowController {
public:
    explicit ShareWindowStandIn(ShareInfoPtr info) : shareInfo(std::move(info)) { s_last = this; }
    ~ShareWindowStandIn() override {
        if (s_last == this)
            s_last = nullptr;
    }
    ShareInfoPtr shareInfo;
    static inline ShareWindowStandIn* s_last = nullptr;

protected:
    void loadWindow() override { setWindow(new kit::Window); }
};

class FileRequests : public FileOpsTest {
protected:
    void lock(const QString& path, bool sync, bool edit) {
        auto node = svc().service().nodeByPath(path);
        ASSERT_TRUE(node.ok());
        ASSERT_FALSE(svc().service().setSyncLocked(node.value.nid, sync));
        ASSERT_FALSE(svc().service().setEditLocked(node.value.nid, edit));
    }
    // Answers the alert shown now with "知道了" and checks its texts.
    void expectRefusal(const QString& message) {
        KZAlertController* alert = nullptr;
        ASSERT_TRUE(waitForAlert(&alert));
        EXPECT_EQ(alert->title(), QStringLiteral("操作失败"));
        EXPECT_EQ(alert->message(), message);
        EXPECT_TRUE(press(alert, QStringLiteral("知道了")));
        ASSERT_TRUE(nubo::test::waitUntil([] { return presentedAlert() == nullptr; }));
    }
    int downloadJobs() const {
        return KZDownloadMgrProxy::shareDownloadMgrProxy()->getRunningJobCount() +
               KZDownloadMgrProxy::shareDownloadMgrProxy()->getWaitingJobCount() +
               KZDownloadMgrProxy::shareDownloadMgrProxy()->getFinishedJobCount();
    }
};

const QString kSyncingText =
    QStringLiteral("当前选择含有同步文件夹，同步文件夹不允许移动、删除、重命名，请先取消同步再重试。");
const QString kEditingText = QStringLiteral(
    "当前选择含有正在编辑的文件，正在编辑的文件夹不允许移动、删除、重命名，请完成编辑后再重试。");

} // namespace

TEST_F(FileRequests, LockedItemsRefuseDeleteRenameAndMoveButNotCopy) {
    lock(QStringLiteral("/three/a.txt"), true, false);
    lock(QStringLiteral("/three/b.txt"), false, true);
    jump(QStringLiteral("/three"));
    refresh(); // the locks reach the open folder as changes of its rows
    ASSERT_TRUE(row(QStringLiteral("a.txt"))->m_isSync());
    ASSERT_TRUE(row(QStringLiteral("b.txt"))->m_isEditLock());

    // One synced file among free ones: the whole delete is refused before its blocking toast.
    select({QStringLiteral("a.txt"), QStringLiteral("c.txt")});
    page->actionDeleteFile();
    KZAlertController* question = nullptr;
    ASSERT_TRUE(waitForAlert(&question));
    EXPECT_EQ(question->title(), QStringLiteral("确定要删除已选中文件吗?"));
    press(question, QStringLiteral("删除"));
    expectRefusal(kSyncingText);
    EXPECT_NE(toastText(), QStringLiteral("正在删除文件..."));
    EXPECT_TRUE(exists(QStringLiteral("/three/c.txt")));

    // Sync lock before edit lock.
    EXPECT_FALSE(page->moveFiles({row(QStringLiteral("b.txt")), row(QStringLiteral("a.txt"))},
                                 CloudFileInfo::rootFile()));
    expectRefusal(kSyncingText);
    EXPECT_FALSE(page->renameFile(row(QStringLiteral("b.txt")), QStringLiteral("x.txt")));
    expectRefusal(kEditingText);
    EXPECT_TRUE(exists(QStringLiteral("/three/b.txt")));

    // Copies ignore the locks.
    auto dest = svc().service().nodeByPath(QStringLiteral("/dest"));
    auto destInfo = CloudFileInfo::create();
    destInfo->setNid(dest.value.nid);
    destInfo->setPath(QStringLiteral("/dest"));
    destInfo->setIsDirectory(true);
    EXPECT_TRUE(page->copyFiles({row(QStringLiteral("a.txt"))}, destInfo));
    EXPECT_TRUE(nubo::test::waitUntil([] { return exists(QStringLiteral("/dest/a.txt")); }, 10000));

    lock(QStringLiteral("/three/a.txt"), false, false);
    lock(QStringLiteral("/three/b.txt"), false, false);
}

TEST_F(FileRequests, AnOverdueAccountIsAskedToPayAndNothingIsSent) {
    nubo::ServiceAccount account = svc().service().account().value;
    const nubo::ServiceAccount saved = account;
    account.userDetail.insert(QStringLiteral("is_vip"), true);
    account.userDetail.insert(QStringLiteral("expire_status"), 1);
    account.userDetail.insert(QStringLiteral("package_id"), 1);
    account.userDetail.insert(QStringLiteral("expire_day"), 12);
    ASSERT_FALSE(svc().service().setAccount(account));
    signInAgain();
    jump(QStringLiteral("/three"));

    EXPECT_FALSE(page->createDir(QStringLiteral("/three/new")));
    KZAlertController* alert = nullptr;
    ASSERT_TRUE(waitForAlert(&alert));
    EXPECT_EQ(alert->title(), QStringLiteral("试用套餐已过期，数据还可保留：12天"));
    EXPECT_EQ(alert->message(), QStringLiteral("数据清除后不可恢复，请您及时续费"));
    ASSERT_EQ(alert->buttons().size(), 1);
    EXPECT_EQ(alert->buttons().first()->title(), QStringLiteral("立即购买"));
    alert->closeWindow();
    ASSERT_TRUE(nubo::test::waitUntil([] { return presentedAlert() == nullptr; }));

    // Every mutating request is refused, copies and shares included; nothing reaches the service.
    const CloudFileInfoPtr c = row(QStringLiteral("c.txt"));
    EXPECT_FALSE(page->copyFiles({c}, CloudFileInfo::rootFile()));
    EXPECT_FALSE(page->deleteFiles({c}));
    EXPECT_FALSE(page->shareFiles({c}));
    EXPECT_FALSE(page->uploadFiles({s_local->path()}, page->fileInfo()));
    // The new-folder command starts no placeholder row.
    page->actionCreateDir();
    EXPECT_TRUE(page->creatingFiles().isEmpty());
    EXPECT_FALSE(page->isEditing());
    nubo::test::drainEvents();
    EXPECT_FALSE(exists(QStringLiteral("/three/new")));
    EXPECT_TRUE(exists(QStringLiteral("/three/c.txt")));
    EXPECT_FALSE(exists(QStringLiteral("/c.txt")));

    // Any other plan is renewed rather than bought.
    account.userDetail.insert(QStringLiteral("package_id"), 7);
    ASSERT_FALSE(svc().service().setAccount(account));
    signInAgain();
    EXPECT_EQ(page->showOverdueAlert()->buttons().first()->title(), QStringLiteral("立即续费"));

    ASSERT_FALSE(svc().service().setAccount(saved));
    signInAgain();
}

TEST_F(FileRequests, ShareReplyOpensTheShareWindowByClassName) {
    KZInitializer init(KZFilesViewController::kShareWindowClassName,
                       [](const QVariantMap& params) -> QObject* {
                           return new ShareWindowStandIn(
                               params.value(KZFilesViewController::kShareInfoParam).value<ShareInfoPtr>());
                       });
    KZRouter::shareInstance().registerEntityInitializer(init);
    jump(QStringLiteral("/three"));
    ASSERT_TRUE(page->shareFiles({row(QStringLiteral("a.txt"))}));
    ASSERT_TRUE(nubo::test::waitUntil([] { return ShareWindowStandIn::s_last != nullptr; }));
    ShareWindowStandIn* shown = ShareWindowStandIn::s_last;
    ASSERT_TRUE(shown->shareInfo);
    EXPECT_FALSE(shown->shareInfo->shorturl().isEmpty());
    EXPECT_TRUE(nubo::test::waitUntil([&] { return KZWindowsManager::shareInstance().isPresented(shown); }));
    shown->closeWindow();
    delete shown;

    ASSERT_TRUE(page->cancelShareFiles({row(QStringLiteral("a.txt"))}));
    EXPECT_TRUE(waitForToast(QStringLiteral("取消成功")));
}

TEST_F(FileRequests, ShareAndCancelFailuresFallBackToTheirTexts) {
    page->kzSessionRequestShareFilesFail(
        nullptr, 1, {}, BWError::withMessage(QStringLiteral("KZCloud"), 5, QStringLiteral("不能分享")));
    EXPECT_TRUE(waitForToast(QStringLiteral("不能分享")));
    page->kzSessionRequestShareFilesFail(nullptr, 1, {}, BWError());
    EXPECT_TRUE(waitForToast(QStringLiteral("分享失败，请重试")));
    page->kzSessionRequestCancelShareFail(nullptr, 1, {}, BWError());
    EXPECT_TRUE(waitForToast(QStringLiteral("取消失败，请重试")));
}

TEST_F(FileRequests, DownloadFolderIsCheckedBeforeAnythingStarts) {
    jump(QStringLiteral("/three"));
    const int before = downloadJobs();
    const CloudFileInfoPtr a = row(QStringLiteral("a.txt"));

    // No folder saved.
    auto& config = nubo::SingletonT<nubo::SystemConfig>::instance();
    config.setDownloadPath(QString());
    select({QStringLiteral("a.txt")});
    page->actionDownloadFile();
    EXPECT_TRUE(waitForToast(QStringLiteral("无效的下载路径")));

    // A folder that is gone, or that cannot be written, is refused with its path.
    const QString gone = s_local->path() + QStringLiteral("/gone");
    EXPECT_FALSE(page->downloadFiles({a}, gone));
    EXPECT_TRUE(toastText().contains(gone));
    const QString readOnly = s_local->path() + QStringLiteral("/ro");
    QDir().mkpath(readOnly);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    if (!QFileInfo(readOnly).isWritable()) { // root may write anywhere
        EXPECT_FALSE(page->downloadFiles({a}, readOnly));
        EXPECT_TRUE(toastText().contains(readOnly));
    }

    // Asked for a folder every time: a cancelled panel downloads nothing.
    config.setShouldSelectDownloadPath(true);
    page->actionDownloadFile();
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(
        nubo::test::waitUntil([&] { return (dialog = window->findChild<QFileDialog*>()) != nullptr; }));
    dialog->reject();
    nubo::test::drainEvents();
    EXPECT_EQ(downloadJobs(), before);
    EXPECT_FALSE(QFile::exists(s_local->path() + QStringLiteral("/a.txt")));
}

// A fresh account has no Downloads folder yet: the first download into the default makes it
// (through the setting as through a drag's fallback), while any other missing folder is refused.
TEST_F(FileRequests, AFirstDownloadMakesTheMissingDownloadsFolder) {
    jump(QStringLiteral("/three"));
    const QString downloads = nubo::paths::downloadsFolder();
    ASSERT_TRUE(downloads.startsWith(QDir::homePath()));
    QDir(downloads).removeRecursively();
    auto& config = nubo::SingletonT<nubo::SystemConfig>::instance();
    config.setDownloadPath(downloads);
    select({QStringLiteral("a.txt")});
    page->actionDownloadFile();
    ASSERT_TRUE(
        nubo::test::waitUntil([&] { return QFile::exists(downloads + QStringLiteral("/a.txt")); }, 15000))
        << toasts->texts().join(u'|').toStdString();

    const QString elsewhere = downloads + QStringLiteral("-elsewhere");
    EXPECT_FALSE(page->downloadFiles({row(QStringLiteral("a.txt"))}, elsewhere));
    EXPECT_TRUE(toastText().contains(elsewhere));
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    QDir(downloads).removeRecursively();
}
