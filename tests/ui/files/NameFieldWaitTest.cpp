// A name being typed (rename or new folder) is never ended by what arrives meanwhile: list
// replies, search re-runs and node changes wait until the field closes, and only the user's
// own ending sends; a re-run keeps the hits the user chose. Real page, session and service.
#include "FileOpsFixture.h"

#include "shell/KZTextFieldCell.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileInfoItemView.h"
#include "ui/files/KZFileListStyleSwitcher.h"
#include "ui/files/KZFileSearchView.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace nubo::test;

namespace {

class NameFieldWait : public FileOpsTest {
protected:
    int rowOf(const QString& name) const { return int(page->files().indexOf(row(name))); }
    KZFileInfoCell* nameCell(int row) {
        return qobject_cast<KZFileInfoCell*>(page->tableView()->viewAtColumn(page->nameColumn(), row, false));
    }
    KZFileInfoItemView* tile(int row) {
        return dynamic_cast<KZFileInfoItemView*>(
            page->collectionView()->itemAtIndexPath(kit::IndexPath{0, row}));
    }
    // A file arrives at `path`, as a finished upload brings it.
    void arrive(const QString& path) {
        svc().putFile(path, "u");
        refresh();
    }
};

} // namespace

TEST_F(NameFieldWait, ASearchRerunNeverSendsAHalfTypedRename) {
    svc().putFile(QStringLiteral("/hits/f16.txt"), "6");
    svc().putFile(QStringLiteral("/hits/f17.txt"), "7");
    refresh();
    jump(QStringLiteral("/hits"));
    typeSearch(QStringLiteral("f1"));
    ASSERT_EQ(rowNames().size(), 2);

    // The user renames a hit and has typed one letter when an upload elsewhere finishes.
    select({QStringLiteral("f16.txt")});
    page->actionRenameFile();
    KZFileInfoCell* cell = nameCell(rowOf(QStringLiteral("f16.txt")));
    ASSERT_NE(cell, nullptr);
    QTest::keyClicks(cell->nameTextField()->editor(), QStringLiteral("y"));
    ASSERT_EQ(cell->textFieldContent(), QStringLiteral("y.txt"));
    arrive(QStringLiteral("/elsewhere/u1.txt"));

    // The re-run's answer waits: the field is still open with what was typed, nothing was sent.
    ASSERT_TRUE(
        waitUntil([&] { return page->isWaitingForNameField() || !cell->nameTextField()->isEditing(); }));
    EXPECT_TRUE(page->isWaitingForNameField());
    EXPECT_TRUE(cell->nameTextField()->isEditing());
    EXPECT_EQ(cell->textFieldContent(), QStringLiteral("y.txt"));
    EXPECT_TRUE(page->isEditing());
    drainEvents();
    EXPECT_TRUE(exists(QStringLiteral("/hits/f16.txt")));
    EXPECT_FALSE(exists(QStringLiteral("/hits/y.txt")));

    // Return sends the name the user chose, once; then the waiting answer shows.
    QTest::keyClick(cell->nameTextField()->editor(), Qt::Key_Return);
    ASSERT_TRUE(waitForToast(QStringLiteral("文件重命名成功")));
    EXPECT_TRUE(exists(QStringLiteral("/hits/y.txt")));
    ASSERT_TRUE(waitUntil([&] { return !page->isWaitingForNameField() && !page->isListRequestPending(); }));
    ASSERT_TRUE(waitUntil([&] { return rowNames() == QStringList{QStringLiteral("f17.txt")}; }));
}

TEST_F(NameFieldWait, RepliesAndChangesWaitForANewFolderNamedInTheGrid) {
    svc().mkdir(QStringLiteral("/gridnames/old"));
    refresh();
    jump(QStringLiteral("/gridnames"));
    page->switcher()->setStyle(KZFileListStyleGrid);
    page->actionCreateDir();
    KZFileInfoItemView* item = tile(0);
    ASSERT_NE(item, nullptr);
    QPlainTextEdit* editor = item->fileNameTextField()->wrapEditor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    editor->insertPlainText(QStringLiteral("归档")); // as an input method commits it

    // A reload and a change of the open folder land while the name is typed.
    page->resetCurrentFileList();
    svc().mkdir(QStringLiteral("/gridnames/other"));
    refresh();
    ASSERT_TRUE(waitUntil([&] { return !page->isListRequestPending(); }));
    drainEvents();
    EXPECT_TRUE(page->isWaitingForNameField());
    EXPECT_TRUE(item->fileNameTextField()->isEditing());
    EXPECT_EQ(item->textFieldContent(), QStringLiteral("归档"));
    EXPECT_EQ(page->creatingFiles().size(), 1);
    EXPECT_FALSE(exists(QStringLiteral("/gridnames/归档")));

    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(waitForToast(QStringLiteral("文件夹创建成功")));
    // The folder made, the reload and the change all show: nothing that waited was lost.
    const auto sorted = [&] {
        QStringList names = rowNames();
        names.sort();
        return names;
    };
    QStringList expected{QStringLiteral("old"), QStringLiteral("other"), QStringLiteral("归档")};
    expected.sort();
    ASSERT_TRUE(waitUntil([&] { return sorted() == expected; })) << rowNames().join(u',').toStdString();
    EXPECT_TRUE(page->creatingFiles().isEmpty());
}

// The page's side of an abandoned edit: nothing is sent, a placeholder goes, and what waited runs.
TEST_F(NameFieldWait, AnAbandonedEditSendsNothingAndLetsWaitingRepliesIn) {
    svc().putFile(QStringLiteral("/keep/a.txt"), "a");
    refresh();
    jump(QStringLiteral("/keep"));
    select({QStringLiteral("a.txt")});
    page->actionRenameFile();
    KZFileInfoCell* cell = nameCell(0);
    ASSERT_NE(cell, nullptr);
    QTest::keyClicks(cell->nameTextField()->editor(), QStringLiteral("zz"));
    page->resetCurrentFileList();
    ASSERT_TRUE(waitUntil([&] { return page->isWaitingForNameField(); }));
    cell->abandonEditing();
    EXPECT_FALSE(page->isEditing());
    EXPECT_EQ(cell->infoLabel()->text(), QStringLiteral("a.txt"));
    ASSERT_TRUE(waitUntil([&] { return !page->isWaitingForNameField(); }));
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("a.txt")});

    page->actionCreateDir();
    ASSERT_EQ(page->creatingFiles().size(), 1);
    nameCell(0)->abandonEditing();
    EXPECT_TRUE(page->creatingFiles().isEmpty());
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("a.txt")});
    EXPECT_FALSE(page->isEditing());
    drainEvents();
    EXPECT_TRUE(toastText().isEmpty());
    EXPECT_TRUE(exists(QStringLiteral("/keep/a.txt")));
    EXPECT_FALSE(exists(QStringLiteral("/keep/新建文件夹")));
}

TEST_F(NameFieldWait, ASearchRerunKeepsTheChosenHitsAndTheScrollOffset) {
    for (int i = 0; i < 60; ++i)
        svc().putFile(QStringLiteral("/many_hits/h%1.txt").arg(i, 2, 10, QLatin1Char('0')), "h");
    refresh();
    jump(QStringLiteral("/many_hits"));
    typeSearch(QStringLiteral("h"));
    ASSERT_EQ(rowNames().size(), 60);
    page->tableView()->scrollRowToVisible(59);
    const double offset = page->tableView()->visibleRect().y();
    ASSERT_GT(offset, 0);
    select({QStringLiteral("h40.txt"), QStringLiteral("h55.txt")});

    // A new hit sorts before the chosen ones: they keep their nodes, not their row numbers.
    arrive(QStringLiteral("/many_hits/h00a.txt"));
    ASSERT_TRUE(waitUntil([&] { return rowNames().size() == 61; }));
    drainEvents();
    EXPECT_EQ(selectedNamesSorted(), (QStringList{QStringLiteral("h40.txt"), QStringLiteral("h55.txt")}));
    EXPECT_EQ(page->tableView()->selectedRowIndexes(),
              (kit::IndexSet{rowOf(QStringLiteral("h40.txt")), rowOf(QStringLiteral("h55.txt"))}));
    EXPECT_EQ(page->homeToolBarMessage(), QStringLiteral("已选中2个文件"));
    EXPECT_EQ(page->tableView()->visibleRect().y(), offset);

    // The same in the grid, where the view does not report selections the page makes.
    page->switcher()->setStyle(KZFileListStyleGrid);
    ASSERT_EQ(selectedNamesSorted(), (QStringList{QStringLiteral("h40.txt"), QStringLiteral("h55.txt")}));
    arrive(QStringLiteral("/many_hits/h00b.txt"));
    ASSERT_TRUE(waitUntil([&] { return rowNames().size() == 62; }));
    drainEvents();
    EXPECT_EQ(selectedNamesSorted(), (QStringList{QStringLiteral("h40.txt"), QStringLiteral("h55.txt")}));
    EXPECT_EQ(page->collectionView()->selectionIndexes(),
              (kit::IndexSet{rowOf(QStringLiteral("h40.txt")), rowOf(QStringLiteral("h55.txt"))}));
}
