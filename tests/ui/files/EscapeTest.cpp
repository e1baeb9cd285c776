// Escape gives up whatever is being typed or asked, with real key presses: a name field sends
// nothing, the search field clears, a question gives its cancel answer.
#include "FileOpsFixture.h"

#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZTextFieldCell.h"
#include "shell/KZWindowsManager.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileInfoItemView.h"
#include "ui/files/KZFileListStyleSwitcher.h"
#include "ui/files/KZFileSearchView.h"
#include "ui/files/KZFolderInfoCell.h"
#include "ui/files/KZFoldersWindowController.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QWindow>

using namespace nubo::test;

namespace {

// The widget that takes the keys of a field (a wrapping field edits in its own editor).
QWidget* editorOf(kit::TextField* field) {
    return field->wrapEditor() ? static_cast<QWidget*>(field->wrapEditor()) : field->editor();
}

class Escape : public FileOpsTest {
protected:
    void SetUp() override {
        FileOpsTest::SetUp();
        if (!exists(QStringLiteral("/esc/a10.txt"))) {
            svc().putFile(QStringLiteral("/esc/a10.txt"), "a");
            svc().mkdir(QStringLiteral("/esc/sub"));
            refresh();
        }
        jump(QStringLiteral("/esc"));
    }
    void setStyle(KZFileListStyle style) {
        page->switcher()->setStyle(style);
        drainEvents();
    }
    bool grid() const { return page->filesContainerStyle() == KZFileListStyleGrid; }
    // The name field of a row and what it shows when not editing, in the list or the grid.
    kit::TextField* nameField(int row) {
        if (grid()) {
            auto* tile = dynamic_cast<KZFileInfoItemView*>(
                page->collectionView()->itemAtIndexPath(kit::IndexPath{0, row}));
            return tile ? tile->fileNameTextField() : nullptr;
        }
        auto* cell =
            qobject_cast<KZFileInfoCell*>(page->tableView()->viewAtColumn(page->nameColumn(), row, false));
        return cell ? cell->nameTextField() : nullptr;
    }
    QString shownName(int row) {
        if (grid()) {
            auto* tile = dynamic_cast<KZFileInfoItemView*>(
                page->collectionView()->itemAtIndexPath(kit::IndexPath{0, row}));
            return tile ? tile->fileNameLabel()->text() : QString();
        }
        auto* cell =
            qobject_cast<KZFileInfoCell*>(page->tableView()->viewAtColumn(page->nameColumn(), row, false));
        return cell ? cell->infoLabel()->text() : QString();
    }
    void selectRow(int row) {
        if (grid()) {
            page->collectionView()->selectItems({kit::IndexPath{0, row}}, kit::ScrollPosition::None);
            page->selectRowsAtIndexes(page->collectionView()->selectionIndexes());
        } else {
            page->tableView()->selectRowIndexes(kit::IndexSet(row), false);
        }
    }
    // Types into a field being edited, then presses Escape on it.
    static void typeThenEscape(kit::TextField* field, const QString& text) {
        ASSERT_NE(field, nullptr);
        ASSERT_TRUE(field->isEditing());
        QWidget* editor = editorOf(field);
        QTest::keyClicks(editor, text);
        ASSERT_TRUE(field->stringValue().contains(text)) << field->stringValue().toStdString();
        QTest::keyClick(editor, Qt::Key_Escape);
    }
    // Whatever is clicked next, nothing typed before goes out.
    void clickElsewhereAndSettle() {
        window->makeFirstResponder(nullptr);
        QTest::mouseClick(grid() ? static_cast<QWidget*>(page->collectionView())
                                 : static_cast<QWidget*>(page->tableView()),
                          Qt::LeftButton, {}, QPoint(5, 5));
        refresh();
        drainEvents();
    }
};

} // namespace

TEST_F(Escape, ARenameGivenUpKeepsTheOldNameAndSendsNothing) {
    for (KZFileListStyle style : {KZFileListStyleList, KZFileListStyleGrid}) {
        SCOPED_TRACE(style);
        setStyle(style);
        const int r = int(page->files().indexOf(row(QStringLiteral("a10.txt"))));
        ASSERT_GE(r, 0);
        selectRow(r);
        page->actionRenameFile();
        ASSERT_TRUE(page->isEditing());
        kit::TextField* field = nameField(r);
        typeThenEscape(field, QStringLiteral("escaped_name"));

        EXPECT_FALSE(page->isEditing());
        EXPECT_FALSE(field->isEditing());
        EXPECT_TRUE(field->isHidden());
        EXPECT_EQ(shownName(r), QStringLiteral("a10.txt"));
        EXPECT_EQ(row(QStringLiteral("a10.txt")) ? row(QStringLiteral("a10.txt"))->name() : QString(),
                  QStringLiteral("a10.txt"));
        clickElsewhereAndSettle();
        EXPECT_TRUE(exists(QStringLiteral("/esc/a10.txt")));
        EXPECT_FALSE(exists(QStringLiteral("/esc/escaped_name")));
        EXPECT_FALSE(toasts->texts().contains(QStringLiteral("正在重命名...")));

        // Return still renames afterwards: only the edit given up was dropped.
        selectRow(r);
        page->actionRenameFile();
        ASSERT_TRUE(page->isEditing());
        QTest::keyClick(editorOf(nameField(r)), Qt::Key_Return);
        EXPECT_FALSE(page->isEditing());
    }
}

TEST_F(Escape, ANewFolderGivenUpWithdrawsItsRow) {
    const QStringList before = rowNames();
    for (KZFileListStyle style : {KZFileListStyleList, KZFileListStyleGrid}) {
        SCOPED_TRACE(style);
        setStyle(style);
        page->actionCreateDir();
        ASSERT_EQ(page->creatingFiles().size(), 1);
        const QString proposed = page->files().first()->name();
        typeThenEscape(nameField(0), QStringLiteral("given up"));

        EXPECT_FALSE(page->isEditing());
        EXPECT_TRUE(page->creatingFiles().isEmpty());
        EXPECT_EQ(rowNames(), before);
        if (grid())
            EXPECT_EQ(page->collectionView()->numberOfItems(), before.size());
        else
            EXPECT_EQ(page->tableView()->numberOfRows(), before.size());
        clickElsewhereAndSettle();
        EXPECT_FALSE(exists(QStringLiteral("/esc/given up")));
        EXPECT_FALSE(exists(QStringLiteral("/esc/") + proposed));
        EXPECT_FALSE(toasts->texts().contains(QStringLiteral("正在创建文件夹...")));

        // New folders can be started again, and given up again.
        page->actionCreateDir();
        ASSERT_EQ(page->creatingFiles().size(), 1);
        QTest::keyClick(editorOf(nameField(0)), Qt::Key_Escape);
        EXPECT_EQ(rowNames(), before);
    }
}

TEST_F(Escape, ANewFolderGivenUpInThePickerSendsNothingAndThePickerStays) {
    select({QStringLiteral("a10.txt")});
    page->actionCopyFile();
    KZFoldersWindowController* picker = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (KZBaseWindowController* c : KZWindowsManager::shareInstance().presentedWindowControllers())
            if (auto* p = qobject_cast<KZFoldersWindowController*>(c); p && !p->files().isEmpty())
                picker = p;
        return picker != nullptr;
    }));
    const int rows = int(picker->files().size());
    picker->createFolderButtonClicked();
    ASSERT_EQ(picker->files().size(), rows + 1);
    auto* cell = qobject_cast<KZFolderInfoCell*>(picker->tableView()->viewAtColumn(0, 0, false));
    ASSERT_NE(cell, nullptr);
    typeThenEscape(cell->nameTextField(), QStringLiteral("given up"));

    EXPECT_FALSE(picker->isEditing());
    EXPECT_EQ(picker->files().size(), rows);
    EXPECT_EQ(picker->tableView()->numberOfRows(), rows);
    for (const auto& f : picker->files())
        EXPECT_FALSE(KZLocalFileInfo::isLocal(f.get()));
    EXPECT_TRUE(picker->window()->isVisible()); // the Escape was the field's
    drainEvents();
    EXPECT_FALSE(exists(QStringLiteral("/given up")));
    EXPECT_FALSE(exists(QStringLiteral("/新建文件夹")));

    // Naming can start again.
    picker->createFolderButtonClicked();
    EXPECT_TRUE(picker->isEditing());
    EXPECT_EQ(picker->files().size(), rows + 1);
}

TEST_F(Escape, EscapeInTheSearchFieldDoesWhatItsClearButtonDoes) {
    const QStringList folder = rowNames();
    kit::TextField* field = page->fileSearchView()->textField();
    window->makeFirstResponder(field);
    QTest::keyClicks(field->editor(), QStringLiteral("a10"));
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->isSearch() && !page->isListRequestPending(); }));
    EXPECT_FALSE(page->fileSearchView()->deleteButton()->isHidden());

    QTest::keyClick(field->editor(), Qt::Key_Escape);
    EXPECT_TRUE(field->stringValue().isEmpty());
    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(page->fileSearchView()->deleteButton()->isHidden());
    ASSERT_TRUE(waitUntil([&] { return !page->fileInfo()->isSearch(); }));
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/esc"));
    EXPECT_EQ(rowNames(), folder);
}

// Escape on a question, as the keyboard sends it to the question's window, and the window
// system's close button both give the cancel answer.
TEST_F(Escape, AQuestionGivesItsCancelAnswer) {
    select({QStringLiteral("a10.txt")});
    page->actionDeleteFile();
    KZAlertController* alert = nullptr;
    ASSERT_TRUE(waitForAlert(&alert));
    ASSERT_TRUE(waitUntil([&] { return alert->window()->isActiveWindow(); }));
    QTest::keyClick(alert->window()->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return presentedAlert() == nullptr; }));
    drainEvents();
    EXPECT_TRUE(exists(QStringLiteral("/esc/a10.txt")));
    EXPECT_FALSE(toasts->texts().contains(QStringLiteral("正在删除文件...")));

    // A question whose cancel button has its own answer gives it on Escape and on the title
    // bar's close; its other button is never pressed.
    int confirmed = 0, cancelled = 0;
    for (bool escape : {true, false}) {
        SCOPED_TRACE(escape);
        auto* q = KZAlertController::alertControllerWithWindowTitle(
            QStringLiteral("删除任务"), QStringLiteral("确定要删除吗?"), QString());
        q->addAction(KZAlertAction::actionWithTitle(QStringLiteral("删除"), KZAlertActionStyleWarning, page,
                                                    [&](const KZAlertAction&) { ++confirmed; }));
        q->addAction(KZAlertAction::actionWithTitle(QStringLiteral("取消"), KZAlertActionStyleCancel, page,
                                                    [&](const KZAlertAction&) { ++cancelled; }));
        page->presentWindowController(q);
        ASSERT_TRUE(waitUntil([&] { return q->window()->isActiveWindow(); }));
        if (escape)
            QTest::keyClick(q->window()->windowHandle(), Qt::Key_Escape);
        else
            closeFromWindowManager(q->window());
        ASSERT_TRUE(waitUntil([&] { return presentedAlert() == nullptr; }));
    }
    EXPECT_EQ(confirmed, 0);
    EXPECT_EQ(cancelled, 2);

    // One without a cancel button just closes.
    page->showSyncingAlert();
    ASSERT_TRUE(waitForAlert(&alert));
    ASSERT_TRUE(waitUntil([&] { return alert->window()->isActiveWindow(); }));
    QTest::keyClick(alert->window()->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return presentedAlert() == nullptr; }));
}
