// The page's operation commands: upload name checks, delete, move and copy through the picker.
#include "FileOpsFixture.h"

#include "shell/KZWindowsManager.h"
#include "ui/files/KZFoldersWindowController.h"
#include "ui/files/KZUploadNameCheck.h"

#include <QDir>
#include <QFile>

using namespace nubo::test;

namespace {

class FileOperations : public FileOpsTest {
protected:
    QString mkLocal(const QString& relative) {
        const QString p = s_local->path() + QStringLiteral("/up/") + relative;
        QDir().mkpath(p);
        return p;
    }
    QString writeLocal(const QString& relative, const QByteArray& content) {
        const QString p = s_local->path() + QStringLiteral("/up/") + relative;
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return p;
    }
    // Opens the picker with the command and confirms the folder at that path.
    void pickDestination(const std::function<void()>& command, const QString& path) {
        command();
        KZFoldersWindowController* picker = presentedPicker();
        ASSERT_NE(picker, nullptr);
        if (path != QLatin1String("/")) {
            picker->folderCrumbsDidClickDirectoryPath(path);
            ASSERT_TRUE(waitUntil([&] { return picker->fileInfo()->path() == path; }));
        } else {
            ASSERT_TRUE(waitUntil([&] { return picker->fileInfo() && !picker->files().isEmpty(); }));
        }
        picker->confirmButtonClicked();
        ASSERT_TRUE(waitUntil([] { return presentedPicker() == nullptr; }));
    }
};

} // namespace

TEST_F(FileOperations, ChosenFoldersMustHoldOnlyNamesTheCloudAccepts) {
    const QString fine = mkLocal(QStringLiteral("fine/a-b_c (1)+=#%"));
    writeLocal(QStringLiteral("fine/a-b_c (1)+=#%/f.txt"), "f");
    const QString blank = mkLocal(QStringLiteral("blank/x/   "));
    const QString bar = mkLocal(QStringLiteral("bar/a|b"));
    const QString barFile = writeLocal(QStringLiteral("barfile/x|y.txt"), "y");
    QFile::link(s_local->path(), s_local->path() + QStringLiteral("/up/fine/loop")); // never followed

    // Pure check first: the first offending folder, relative to its chosen item.
    EXPECT_EQ(KZUploadNameCheck::check({s_local->path() + QStringLiteral("/up/fine")}).problem,
              KZUploadNameCheck::None);
    const KZUploadNameCheck blankResult =
        KZUploadNameCheck::check({s_local->path() + QStringLiteral("/up/blank")});
    EXPECT_EQ(blankResult.problem, KZUploadNameCheck::BlankName);
    EXPECT_EQ(blankResult.relativePath, QStringLiteral("x/   "));
    EXPECT_EQ(KZUploadNameCheck::check({s_local->path() + QStringLiteral("/up/barfile")}).problem,
              KZUploadNameCheck::None);

    jump(QStringLiteral("/empty"));
    page->uploadChosenPaths(
        {s_local->path() + QStringLiteral("/up/fine"), s_local->path() + QStringLiteral("/up/blank")});
    EXPECT_TRUE(waitForToast(QStringLiteral("不能含有空文件名的文件夹")));
    page->uploadChosenPaths({s_local->path() + QStringLiteral("/up/bar")});
    EXPECT_TRUE(waitForToast(QStringLiteral("文件名包括非法字符(:*?<>\"\\/|)")));
    drainEvents();
    EXPECT_FALSE(exists(QStringLiteral("/empty/fine")));
    EXPECT_FALSE(exists(QStringLiteral("/empty/bar")));

    page->uploadChosenPaths({s_local->path() + QStringLiteral("/up/fine")});
    EXPECT_TRUE(waitForToast(QStringLiteral("已加入上传列表"), 10000));
    EXPECT_TRUE(waitUntil([] { return exists(QStringLiteral("/empty/fine/a-b_c (1)+=#%/f.txt")); }, 10000));
    EXPECT_FALSE(exists(QStringLiteral("/empty/fine/loop")));
    (void)blank, (void)bar, (void)barFile, (void)fine;
}

TEST_F(FileOperations, DeleteAsksFirstThenSendsTheSelection) {
    svc().putFile(QStringLiteral("/del/x.txt"), "x");
    svc().putFile(QStringLiteral("/del/y.txt"), "y");
    svc().putFile(QStringLiteral("/del/keep.txt"), "k");
    refresh();
    jump(QStringLiteral("/del"));
    select({QStringLiteral("x.txt"), QStringLiteral("y.txt")});

    page->actionDeleteFile();
    KZAlertController* alert = nullptr;
    ASSERT_TRUE(waitForAlert(&alert));
    EXPECT_EQ(alert->title(), QStringLiteral("确定要删除已选中文件吗?"));
    EXPECT_EQ(alert->message(),
              QStringLiteral("确定要把选中的文件放入回收站吗？回收站占用您的云盘空间，请及时清理。"));
    ASSERT_EQ(alert->buttons().size(), 2);
    EXPECT_EQ(alert->buttons().at(0)->title(), QStringLiteral("删除"));
    EXPECT_EQ(alert->buttons().at(1)->title(), QStringLiteral("取消"));
    press(alert, QStringLiteral("取消"));
    drainEvents();
    EXPECT_TRUE(exists(QStringLiteral("/del/x.txt")));

    page->actionDeleteFile();
    ASSERT_TRUE(waitUntil([] { return presentedAlert() != nullptr; }));
    press(presentedAlert(), QStringLiteral("删除"));
    EXPECT_EQ(toastText(), QStringLiteral("正在删除文件..."));
    ASSERT_TRUE(waitForToast(QStringLiteral("文件删除成功")));
    EXPECT_FALSE(exists(QStringLiteral("/del/x.txt")));
    EXPECT_FALSE(exists(QStringLiteral("/del/y.txt")));
    EXPECT_TRUE(page->selectedFiles().isEmpty());
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("keep.txt")}); // merged, not reloaded
}

TEST_F(FileOperations, MoveAndCopyGoThroughThePicker) {
    svc().putFile(QStringLiteral("/mv/m.txt"), "m");
    svc().putFile(QStringLiteral("/mv/c.txt"), "c");
    svc().mkdir(QStringLiteral("/mv/to"));
    refresh();
    jump(QStringLiteral("/mv"));

    // Moving into the open folder does nothing.
    select({QStringLiteral("m.txt")});
    pickDestination([&] { page->actionMoveFile(); }, QStringLiteral("/mv"));
    drainEvents();
    EXPECT_TRUE(exists(QStringLiteral("/mv/m.txt")));

    select({QStringLiteral("m.txt")});
    pickDestination([&] { page->actionMoveFile(); }, QStringLiteral("/mv/to"));
    ASSERT_TRUE(waitForToast(QStringLiteral("任务完成"), 10000));
    EXPECT_TRUE(exists(QStringLiteral("/mv/to/m.txt")));
    ASSERT_TRUE(waitUntil([&] { return row(QStringLiteral("m.txt")) == nullptr; }));

    // Copying into the open folder asks about the same name, offering to keep both.
    select({QStringLiteral("c.txt")});
    pickDestination([&] { page->actionCopyFile(); }, QStringLiteral("/mv"));
    KZAlertController* alert = nullptr;
    ASSERT_TRUE(waitForAlert(&alert, 10000));
    EXPECT_EQ(alert->title(), QStringLiteral("当前路径已存在同名文件"));
    press(alert, QStringLiteral("保留两者"));
    ASSERT_TRUE(waitForToast(QStringLiteral("任务完成"), 10000));
    ASSERT_TRUE(waitUntil([&] { return page->files().size() == 3; })); // to, c.txt and its copy
}
