// The sync engine's reports as the page shows them: bottom-bar messages, end toasts and the
// same-name questions, each answer reaching the waiting operation.
#include "FileOpsFixture.h"

#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZHomePages.h"
#include "shell/KZRouter.h"
#include "sync/CloudFileSyncMgr.h"
#include "sync/LocalFileSyncMgr.h"
#include "transfer/TransferErrors.h"
#include "transport/KZDownloadMgrProxy.h"
#include "transport/KZUploadMgrProxy.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QWindow>

using namespace nubo::test;

namespace {

// Stands in for the home window's bottom bar, recording its middle messages.
class BottomBar : public QObject, public KZHomeToolbar {
public:
    void showMessageInRightArea(const QString&) override {}
    void showUploadMessageInMiddleArea(const QString& text) override { upload.append(text); }
    void showDownloadMessageInMiddleArea(const QString& text) override { download.append(text); }
    QStringList upload, download;
};

class SyncResults : public FileOpsTest {
protected:
    void SetUp() override {
        FileOpsTest::SetUp();
        KZInitializer init(QStringLiteral("KZHomeToolbarController"),
                           [](const QVariantMap&) -> QObject* { return new BottomBar; });
        init.setLongLife(true);
        KZRouter::shareInstance().registerEntityInitializer(init);
        bar = KZRouter::shareInstance().entityWithClass<BottomBar>(QStringLiteral("KZHomeToolbarController"));
    }
    QString writeLocal(const QString& relative, const QByteArray& content) {
        const QString p = s_local->path() + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return p;
    }
    // The content, or nothing while the file is being replaced.
    QByteArray cloudContent(const QString& path) {
        auto n = svc().service().nodeByPath(path);
        if (!n.ok())
            return {};
        auto bytes = svc().service().readRange(n.value.nid, 0, n.value.size);
        return bytes.ok() ? bytes.value : QByteArray();
    }
    static QStringList titles(KZAlertController* alert) {
        QStringList out;
        for (KZButton* b : alert->buttons())
            out.append(b->title());
        return out;
    }
    // The next question, with its title and buttons checked.
    KZAlertController* question(const QString& title, const QStringList& buttons) {
        KZAlertController* alert = nullptr;
        EXPECT_TRUE(waitForAlert(&alert, 10000));
        if (!alert)
            return nullptr;
        EXPECT_EQ(alert->title(), title);
        EXPECT_EQ(titles(alert), buttons);
        return alert;
    }
    void answer(KZAlertController* alert, const QString& button, bool all) {
        ASSERT_NE(alert, nullptr);
        if (all)
            alert->suppressionButton()->setChecked(true);
        ASSERT_TRUE(press(alert, button));
        ASSERT_TRUE(waitUntil([&] { return presentedAlert() != alert; }));
    }
    bool cloudIdle() {
        return waitUntil([] { return CloudFileSyncMgr::shared().operationCount() == 0; }, 15000);
    }
    bool localIdle() {
        return waitUntil([] { return LocalFileSyncMgr::shared().operationCount() == 0; }, 15000);
    }

    BottomBar* bar = nullptr;
};

const QString kFile = QStringLiteral("当前路径已存在同名文件");
const QString kFolder = QStringLiteral("当前路径已存在同名文件夹");

} // namespace

TEST_F(SyncResults, ACopyOffersKeepBothAndAMoveDoesNot) {
    svc().putFile(QStringLiteral("/q1/x.txt"), "new");
    svc().putFile(QStringLiteral("/q1/to/x.txt"), "old");
    refresh();
    jump(QStringLiteral("/q1"));

    page->copyFiles({row(QStringLiteral("x.txt"))}, cloud(QStringLiteral("/q1")));
    KZAlertController* copyQuestion =
        question(kFile, {QStringLiteral("保留两者"), QStringLiteral("替换"), QStringLiteral("跳过")});
    ASSERT_NE(copyQuestion, nullptr);
    EXPECT_EQ(copyQuestion->message(), QStringLiteral("/q1/x.txt")); // the conflicting item
    EXPECT_FALSE(copyQuestion->suppressionButton()->isHidden());
    EXPECT_EQ(copyQuestion->suppressionButton()->title(), QStringLiteral("全部应用"));
    EXPECT_FALSE(copyQuestion->suppressionButtonChecked());
    answer(copyQuestion, QStringLiteral("跳过"), false);
    ASSERT_TRUE(waitForToast(QStringLiteral("任务完成")));
    EXPECT_TRUE(bar->upload.contains(QStringLiteral("正在复制文件...")));
    EXPECT_EQ(bar->upload.last(), QString()); // a copy's end clears it

    page->moveFiles({row(QStringLiteral("x.txt"))}, cloud(QStringLiteral("/q1/to")));
    answer(question(kFile, {QStringLiteral("替换"), QStringLiteral("跳过")}), QStringLiteral("替换"), false);
    ASSERT_TRUE(cloudIdle());
    EXPECT_EQ(cloudContent(QStringLiteral("/q1/to/x.txt")), QByteArray("new"));
    EXPECT_FALSE(exists(QStringLiteral("/q1/x.txt")));
    ASSERT_TRUE(waitUntil([&] { return row(QStringLiteral("x.txt")) == nullptr; })); // refreshed
}

TEST_F(SyncResults, AFolderMovedOntoASameNameIsOnlyToldAndStays) {
    svc().mkdir(QStringLiteral("/q2/f/inner"));
    svc().mkdir(QStringLiteral("/q2/to/f"));
    refresh();
    jump(QStringLiteral("/q2"));
    page->moveFiles({row(QStringLiteral("f"))}, cloud(QStringLiteral("/q2/to")));
    answer(question(QStringLiteral("当前路径已存在同名文件,不能够移动"), {QStringLiteral("知道了")}),
           QStringLiteral("知道了"), false);
    ASSERT_TRUE(cloudIdle());
    EXPECT_TRUE(exists(QStringLiteral("/q2/f/inner")));
    EXPECT_FALSE(exists(QStringLiteral("/q2/to/f/inner")));
}

TEST_F(SyncResults, ApplyToAllSettlesTheRestOfAnUpload) {
    for (const char* n : {"a", "b", "c"}) {
        svc().putFile(QStringLiteral("/q3/dup/%1.txt").arg(QLatin1String(n)), "cloud");
        writeLocal(QStringLiteral("q3/dup/%1.txt").arg(QLatin1String(n)), "local");
    }
    refresh();
    jump(QStringLiteral("/q3"));
    ASSERT_TRUE(page->uploadFiles({s_local->path() + QStringLiteral("/q3/dup")}, page->fileInfo()));
    answer(question(kFolder, {QStringLiteral("合并"), QStringLiteral("跳过")}), QStringLiteral("合并"), true);
    answer(question(kFile, {QStringLiteral("替换"), QStringLiteral("跳过")}), QStringLiteral("替换"), true);
    ASSERT_TRUE(cloudIdle());
    EXPECT_EQ(presentedAlert(), nullptr); // the other two were settled without asking
    EXPECT_TRUE(waitForToast(QStringLiteral("已加入上传列表")));
    for (const char* n : {"a", "b", "c"})
        EXPECT_TRUE(waitUntil(
            [&] { return cloudContent(QStringLiteral("/q3/dup/%1.txt").arg(QLatin1String(n))) == "local"; },
            15000))
            << n;
    EXPECT_TRUE(bar->upload.contains(QStringLiteral("正在准备上传文件...")));
}

// A same-name question is a dialog of the page's window without a close button; Escape, and
// the window manager's own close, answer "跳过".
TEST_F(SyncResults, AQuestionGivenUpSkips) {
    svc().putFile(QStringLiteral("/q4/x.txt"), "x");
    refresh();
    jump(QStringLiteral("/q4"));
    for (bool escape : {true, false}) {
        SCOPED_TRACE(escape);
        page->copyFiles({row(QStringLiteral("x.txt"))}, cloud(QStringLiteral("/q4")));
        KZAlertController* alert =
            question(kFile, {QStringLiteral("保留两者"), QStringLiteral("替换"), QStringLiteral("跳过")});
        ASSERT_NE(alert, nullptr);
        ASSERT_TRUE(waitUntil([&] { return alert->window()->isActiveWindow(); }));
        kit::Window* w = alert->window();
        EXPECT_EQ(w->windowType(), Qt::Dialog);
        EXPECT_FALSE(w->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                         Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(w->windowHandle()->transientParent(), window->windowHandle());
        EXPECT_EQ(w->windowTitle(), kFile);
        if (escape)
            QTest::keyClick(w->windowHandle(), Qt::Key_Escape);
        else
            closeFromWindowManager(w);
        ASSERT_TRUE(cloudIdle());
        ASSERT_TRUE(waitForToast(QStringLiteral("任务完成")));
        EXPECT_EQ(presentedAlert(), nullptr);
        drainEvents();
        EXPECT_EQ(page->files().size(), 1);
    }
}

TEST_F(SyncResults, AFailureShowsItsTextAndTheBatchIsNotDone) {
    svc().putFile(QStringLiteral("/q5/gone.txt"), "g");
    refresh();
    jump(QStringLiteral("/q5"));
    const CloudFileInfoPtr stale = row(QStringLiteral("gone.txt"));
    ASSERT_FALSE(svc().service().remove({stale->nid()}));
    page->moveFiles({stale}, cloud(QStringLiteral("/dest")));
    ASSERT_TRUE(cloudIdle());
    ASSERT_TRUE(waitUntil([&] { return !toasts->texts().isEmpty(); }));
    drainEvents();
    EXPECT_FALSE(toasts->texts().contains(QStringLiteral("任务完成")))
        << toasts->texts().join(u'|').toStdString();
    ASSERT_TRUE(waitUntil([&] { return page->files().isEmpty(); })); // refreshed all the same

    // The conflict answers ignore any other code.
    page->solveConflictCloudFile(QStringLiteral("none"), BWError::application(-1, QStringLiteral("x")), true,
                                 true);
    page->skipLocalFileConflict(QStringLiteral("none"), BWError::application(-1, QStringLiteral("x")), true);
}

TEST_F(SyncResults, DownloadsAskAboutLocalNamesAndReportTheirEnd) {
    svc().putFile(QStringLiteral("/q6/tree/a.txt"), "cloud a");
    svc().mkdir(QStringLiteral("/q6/tree/empty"));
    svc().mkdir(QStringLiteral("/q6/hollow"));
    refresh();
    jump(QStringLiteral("/q6"));
    const QString into = s_local->path() + QStringLiteral("/dl6");
    QDir().mkpath(into + QStringLiteral("/tree"));
    writeLocal(QStringLiteral("dl6/tree/a.txt"), "local a");

    ASSERT_TRUE(page->downloadFiles({row(QStringLiteral("tree"))}, into));
    answer(question(kFolder, {QStringLiteral("合并"), QStringLiteral("跳过")}), QStringLiteral("合并"),
           false);
    answer(question(kFile, {QStringLiteral("替换"), QStringLiteral("跳过")}), QStringLiteral("替换"), false);
    ASSERT_TRUE(localIdle());
    EXPECT_TRUE(waitForToast(QStringLiteral("已加入下载列表")));
    EXPECT_TRUE(bar->download.contains(QStringLiteral("正在准备下载文件...")));
    EXPECT_EQ(bar->download.last(), QString());
    EXPECT_TRUE(waitUntil(
        [&] {
            QFile f(into + QStringLiteral("/tree/a.txt"));
            return f.open(QIODevice::ReadOnly) && f.readAll() == "cloud a";
        },
        15000));

    ASSERT_TRUE(page->downloadFiles({row(QStringLiteral("hollow"))}, into));
    ASSERT_TRUE(localIdle());
    EXPECT_TRUE(waitForToast(QStringLiteral("文件夹为空，已保存到本地")));
}

TEST_F(SyncResults, AnEmptyFolderUploadSaysSo) {
    QDir().mkpath(s_local->path() + QStringLiteral("/hollow7/in"));
    jump(QStringLiteral("/empty"));
    ASSERT_TRUE(page->uploadFiles({s_local->path() + QStringLiteral("/hollow7")}, page->fileInfo()));
    ASSERT_TRUE(cloudIdle());
    EXPECT_TRUE(waitForToast(QStringLiteral("文件夹为空，已上传到云端")));
    EXPECT_EQ(bar->upload.last(), QString());
}

// "全部应用" covers every item the user chose together, not only the one asked about.
TEST_F(SyncResults, ApplyToAllCoversEveryChosenItem) {
    QList<CloudFileInfoPtr> picked;
    for (const char* n : {"a", "b", "c"})
        svc().putFile(QStringLiteral("/q8/%1.txt").arg(QLatin1String(n)), "cloud");
    refresh();
    jump(QStringLiteral("/q8"));
    for (const char* n : {"a", "b", "c"})
        picked << row(QStringLiteral("%1.txt").arg(QLatin1String(n)));

    page->copyFiles(picked, cloud(QStringLiteral("/q8")));
    answer(question(kFile, {QStringLiteral("保留两者"), QStringLiteral("替换"), QStringLiteral("跳过")}),
           QStringLiteral("保留两者"), true);
    ASSERT_TRUE(cloudIdle());
    ASSERT_TRUE(waitForToast(QStringLiteral("任务完成")));
    EXPECT_EQ(presentedAlert(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return page->files().size() == 6; }));

    const QString into = s_local->path() + QStringLiteral("/dl8");
    for (const char* n : {"a", "b", "c"})
        writeLocal(QStringLiteral("dl8/%1.txt").arg(QLatin1String(n)), "local");
    ASSERT_TRUE(page->downloadFiles(picked, into));
    answer(question(kFile, {QStringLiteral("替换"), QStringLiteral("跳过")}), QStringLiteral("跳过"), true);
    ASSERT_TRUE(localIdle());
    EXPECT_EQ(presentedAlert(), nullptr);
    for (const char* n : {"a", "b", "c"}) {
        QFile f(into + QStringLiteral("/%1.txt").arg(QLatin1String(n)));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("local")) << n;
    }
}
