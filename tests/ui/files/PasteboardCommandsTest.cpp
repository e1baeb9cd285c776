// Control-key shortcuts, cut, copy and paste of cloud files and local files pasted as uploads,
// against the real page, session, transfer engines and embedded service.
#include "FileOpsFixture.h"

#include "kit/Pasteboard.h"
#include "kit/TextField.h"
#include "shell/KZShortcutKeysManager.h"
#include "shell/KZTextFieldCell.h"
#include "ui/files/KZFileInfoCell.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

using namespace nubo::test;

namespace {

class PasteboardCommands : public FileOpsTest {
protected:
    void SetUp() override {
        FileOpsTest::SetUp();
        kit::Pasteboard::general().clearContents();
    }
    void refresh() {
        page->requestIncrFiles();
        ASSERT_TRUE(waitUntil([&] { return !page->isRefreshing(); }));
    }
    // A key press with Control as the desktop delivers it to the focused widget.
    void control(QWidget* target, Qt::Key key) { QTest::keyClick(target, key, Qt::ControlModifier); }
    bool waitForNode(const QString& path) {
        return waitUntil([&] { return exists(path); }, 10000);
    }
    // Local files put on the clipboard the way file managers do.
    static void copyLocalFiles(const QStringList& paths) {
        auto* mime = new QMimeData;
        QByteArray uris, gnome = "copy";
        for (const QString& p : paths) {
            const QByteArray u = QUrl::fromLocalFile(p).toEncoded();
            uris += u + "\r\n";
            gnome += "\n" + u;
        }
        mime->setData(QStringLiteral("text/uri-list"), uris);
        mime->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
        QGuiApplication::clipboard()->setMimeData(mime);
    }
};

} // namespace

TEST_F(PasteboardCommands, ShortcutsActOnRowsOnlyWhileNoTextIsBeingTyped) {
    jump(QStringLiteral("/three"));
    select({QStringLiteral("a.txt")});
    page->makeRenameFileFocus();
    auto* field = qobject_cast<kit::TextField*>(window->firstResponder());
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(field->isEditing());
    EXPECT_FALSE(page->shouldPerformKeyDownEvent());
    control(field->editor(), Qt::Key_A);
    control(field->editor(), Qt::Key_C);
    EXPECT_EQ(page->selectedFiles().size(), 1); // the field took Control-A, not the list
    EXPECT_EQ(field->editor()->selectedText(), QStringLiteral("a.txt"));
    EXPECT_EQ(page->cloudFilesItemInPasteboard(), nullptr);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a.txt"));

    window->makeFirstResponder(nullptr);
    ASSERT_TRUE(page->shouldPerformKeyDownEvent());
    control(page->tableView(), Qt::Key_A);
    EXPECT_EQ(page->selectedFiles().size(), page->files().size());
    control(page->tableView(), Qt::Key_C);
    const KZPasteboardItemPtr item = page->cloudFilesItemInPasteboard();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->contents().size(), page->files().size());
    EXPECT_EQ(item->type(), KZPasteboardItem::kTypeCopy);
    EXPECT_TRUE(waitForToast(QStringLiteral("已加入粘贴板")));
}

TEST_F(PasteboardCommands, CopyPastesOnceAndCutMoves) {
    jump(QStringLiteral("/three"));
    select({QStringLiteral("a.txt")});
    page->copyFileToPasteboard();
    jump(QStringLiteral("/dest"));
    page->pasteFileToCloud();
    ASSERT_TRUE(waitForNode(QStringLiteral("/dest/a.txt")));
    EXPECT_TRUE(exists(QStringLiteral("/three/a.txt")));
    // The first paste cleared the pasteboard: a second finds nothing.
    EXPECT_EQ(page->cloudFilesItemInPasteboard(), nullptr);
    page->pasteFileToCloud();
    drainEvents();

    jump(QStringLiteral("/three"));
    select({QStringLiteral("b.txt")});
    page->cutFileToPasteboard();
    EXPECT_TRUE(exists(QStringLiteral("/three/b.txt"))); // nothing moves before the paste
    jump(QStringLiteral("/dest"));
    page->pasteFileToCloud();
    ASSERT_TRUE(waitUntil(
        [&] { return exists(QStringLiteral("/dest/b.txt")) && !exists(QStringLiteral("/three/b.txt")); },
        10000));
    EXPECT_EQ(page->cloudFilesItemInPasteboard(), nullptr);
    // Only one copy of a.txt was made.
    jump(QStringLiteral("/"));
    jump(QStringLiteral("/dest"));
    EXPECT_EQ(rowNames().count(QStringLiteral("a.txt")), 1);
}

TEST_F(PasteboardCommands, AFolderIsNotPastedIntoItselfButAFileMayGoIntoALikeNamedFolder) {
    svc().putFile(QStringLiteral("/three/report"), "r");
    svc().mkdir(QStringLiteral("/three/report 2024"));
    jump(QStringLiteral("/three"));
    refresh();
    select({QStringLiteral("sub")});
    page->copyFileToPasteboard();
    jump(QStringLiteral("/three/sub"));
    page->pasteFileToCloud();
    KZAlertController* alert = nullptr;
    ASSERT_TRUE(waitForAlert(&alert));
    EXPECT_EQ(alert->message(), QStringLiteral("不能黏贴到 /three/sub 到该文件夹及子文件夹中"));
    EXPECT_TRUE(press(alert, QStringLiteral("知道了")));
    ASSERT_NE(page->cloudFilesItemInPasteboard(), nullptr); // kept after a refusal

    // Into its parent the copy is sent: the sync engine then asks about the folder of that name.
    jump(QStringLiteral("/three"));
    page->pasteFileToCloud();
    EXPECT_EQ(page->cloudFilesItemInPasteboard(), nullptr);
    ASSERT_TRUE(waitForAlert(&alert, 10000));
    EXPECT_TRUE(alert->title().startsWith(QStringLiteral("当前路径已存在同名文件")));
    EXPECT_TRUE(press(alert, QStringLiteral("跳过")));
    ASSERT_TRUE(waitUntil([] { return presentedAlert() == nullptr; }));

    select({QStringLiteral("report")});
    page->copyFileToPasteboard();
    jump(QStringLiteral("/three/report 2024"));
    page->pasteFileToCloud();
    EXPECT_EQ(presentedAlert(), nullptr);
    EXPECT_TRUE(waitForNode(QStringLiteral("/three/report 2024/report")));
}

TEST_F(PasteboardCommands, LocalFilesOnThePasteboardAreUploadedAndTheCloudItemStays) {
    jump(QStringLiteral("/three"));
    select({QStringLiteral("c.txt")});
    page->copyFileToPasteboard();
    const KZPasteboardItemPtr cloudItem = page->cloudFilesItemInPasteboard();
    ASSERT_NE(cloudItem, nullptr);

    const QString local = s_local->path() + QStringLiteral("/pasted.txt");
    QFile f(local);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("from the desktop");
    f.close();
    // A file manager's copy replaces the clipboard; Nubo's item goes with it unless both are
    // there, as when a program offers both forms.
    auto* mime = new QMimeData;
    kit::Pasteboard::writeItemsToMimeData(mime, kit::Pasteboard::kNuboItemsType,
                                          {cloudItem->pasteboardPropertyList()});
    mime->setData(QStringLiteral("text/uri-list"), QUrl::fromLocalFile(local).toEncoded() + "\r\n");
    QGuiApplication::clipboard()->setMimeData(mime);

    jump(QStringLiteral("/dest"));
    page->pasteFileToCloud();
    ASSERT_TRUE(waitForNode(QStringLiteral("/dest/pasted.txt")));
    EXPECT_FALSE(exists(QStringLiteral("/dest/c.txt")));
    EXPECT_NE(page->cloudFilesItemInPasteboard(), nullptr);
}

// Links written by other programs are taken by what they name: the file system's root, however
// written, is refused with a message; a folder link that ends in a slash is that folder; a
// relative link names no local file, so the paste falls to the cloud files beside it.
TEST_F(PasteboardCommands, TheRootIsNeverPastedAndOddLinksNameWhatTheySay) {
    jump(QStringLiteral("/dest"));
    for (const QByteArray& root :
         {QByteArray("file:///"), QByteArray("file:////"), QByteArray("file:///tmp/..")}) {
        auto* mime = new QMimeData;
        mime->setData(QStringLiteral("text/uri-list"), root + "\r\n");
        QGuiApplication::clipboard()->setMimeData(mime);
        page->pasteFileToCloud();
        EXPECT_TRUE(waitForToast(QStringLiteral("不能上传系统根目录“/”"))) << root.constData();
    }

    const QString folder = s_local->path() + QStringLiteral("/slashed");
    QDir().mkpath(folder);
    QFile f(folder + QStringLiteral("/inner.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("in the folder");
    f.close();
    copyLocalFiles({folder + QStringLiteral("/")});
    page->pasteFileToCloud();
    EXPECT_TRUE(waitForNode(QStringLiteral("/dest/slashed/inner.txt")));
    EXPECT_FALSE(exists(QStringLiteral("/dest/inner.txt")));
    EXPECT_EQ(presentedAlert(), nullptr);

    jump(QStringLiteral("/three"));
    select({QStringLiteral("c.txt")});
    page->copyFileToPasteboard();
    const KZPasteboardItemPtr cloudItem = page->cloudFilesItemInPasteboard();
    ASSERT_NE(cloudItem, nullptr);
    auto* mime = new QMimeData;
    kit::Pasteboard::writeItemsToMimeData(mime, kit::Pasteboard::kNuboItemsType,
                                          {cloudItem->pasteboardPropertyList()});
    mime->setData(QStringLiteral("text/uri-list"), "file:c.txt\r\n");
    QGuiApplication::clipboard()->setMimeData(mime);
    jump(QStringLiteral("/dest"));
    page->pasteFileToCloud();
    EXPECT_TRUE(waitForNode(QStringLiteral("/dest/c.txt")));
}

TEST_F(PasteboardCommands, SearchResultsAndForeignAccountsGetNothing) {
    window->makeFirstResponder(page->fileSearchView()->textField());
    QTest::keyClicks(page->fileSearchView()->textField()->editor(), QStringLiteral("txt"));
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->isSearch() && !page->files().isEmpty(); }));
    window->makeFirstResponder(nullptr);
    drainEvents();
    page->selectAllRows();
    page->copyFileToPasteboard();
    page->cutFileToPasteboard();
    EXPECT_EQ(page->cloudFilesItemInPasteboard(), nullptr);
    EXPECT_TRUE(toastText().isEmpty());

    // An item written under another account reads as nothing.
    jump(QStringLiteral("/three"));
    KZPasteboardItem({row(QStringLiteral("a.txt"))}, KZPasteboardItem::kTypeCopy,
                     QStringLiteral("someone else"), QStringLiteral("0"))
        .writeToGeneralPasteboard();
    EXPECT_EQ(page->cloudFilesItemInPasteboard(), nullptr);
    jump(QStringLiteral("/empty"));
    page->pasteFileToCloud();
    drainEvents();
    EXPECT_TRUE(page->files().isEmpty());
    EXPECT_FALSE(exists(QStringLiteral("/empty/a.txt")));
}
