// The move/copy destination picker against the real session.
#include "FileOpsFixture.h"

#include "kit/ImageView.h"
#include "kit/TableView.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZTextFieldCell.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFolderInfoCell.h"
#include "ui/files/KZFolderRowView.h"
#include "ui/files/KZFoldersWindowController.h"

#include <QLineEdit>
#include <QTest>

using namespace nubo::test;

namespace {

class FolderPicker : public FileOpsTest {
protected:
    // Each run of the suite has an account of its own (a repeated run too): seed it again.
    static void SetUpTestSuite() {
        FileOpsTest::SetUpTestSuite();
        s_seeded = false;
    }
    void SetUp() override {
        FileOpsTest::SetUp();
        if (!s_seeded) {
            svc().mkdir(QStringLiteral("/pick/a/deep"));
            svc().mkdir(QStringLiteral("/pick/b"));
            svc().putFile(QStringLiteral("/pick/file.txt"), "f");
            refresh();
            s_seeded = true;
        }
    }
    void TearDown() override {
        delete picker;
        FileOpsTest::TearDown();
    }
    void open(uint type, const QList<CloudFileInfoPtr>& moving) {
        picker = new KZFoldersWindowController(type, moving);
        picker->window()->show();
        ASSERT_TRUE(waitUntil([&] { return !picker->files().isEmpty(); }));
    }
    void go(const QString& path) {
        picker->folderCrumbsDidClickDirectoryPath(path);
        ASSERT_TRUE(waitUntil([&] { return picker->fileInfo()->path() == path; }));
    }
    QStringList names() const {
        QStringList out;
        for (const auto& f : picker->files())
            out.append(f->name());
        return out;
    }
    KZFolderInfoCell* nameCell(int row) {
        return qobject_cast<KZFolderInfoCell*>(picker->tableView()->viewAtColumn(0, row, false));
    }
    static inline bool s_seeded = false;
    KZFoldersWindowController* picker = nullptr;
};

} // namespace

TEST_F(FolderPicker, ConfirmingAtOnceGivesTheRootAndCancelGivesNothing) {
    open(KZPickerOperationTypeCopy, {});
    EXPECT_EQ(picker->confirmButton()->title(), QStringLiteral("复制"));
    EXPECT_EQ(picker->navigationTitleLabel()->text(), QStringLiteral("请选择目录"));
    CloudFileInfoPtr chosen;
    int calls = 0;
    picker->setSelectFolderBlock([&](const CloudFileInfoPtr& f) {
        chosen = f;
        ++calls;
    });
    picker->confirmButtonClicked();
    ASSERT_EQ(calls, 1);
    EXPECT_EQ(chosen->nid(), 0);
    EXPECT_EQ(chosen->path(), QStringLiteral("/"));

    delete picker;
    open(KZPickerOperationTypeMove, {});
    EXPECT_EQ(picker->confirmButton()->title(), QStringLiteral("移动"));
    picker->setSelectFolderBlock([&](const CloudFileInfoPtr&) { ++calls; });
    picker->cancelButtonClicked();
    EXPECT_EQ(calls, 1);
}

TEST_F(FolderPicker, ListsFoldersOnlyAndHidesTheFoldersBeingMoved) {
    open(KZPickerOperationTypeMove,
         {cloud(QStringLiteral("/pick/a")), cloud(QStringLiteral("/pick/file.txt"))});
    EXPECT_EQ(picker->opertatingFiles().size(), 1); // files are not recorded
    go(QStringLiteral("/pick"));
    EXPECT_EQ(names(), QStringList{QStringLiteral("b")});

    // A click opens the folder; the history walks back and forward with its buttons.
    picker->tableView()->selectRowIndexes(kit::IndexSet(0), false);
    ASSERT_TRUE(waitUntil([&] { return picker->fileInfo()->path() == QStringLiteral("/pick/b"); }));
    EXPECT_TRUE(picker->goBackButton()->isEnabled());
    EXPECT_FALSE(picker->goForwardButton()->isEnabled());
    picker->actionGoback();
    ASSERT_TRUE(waitUntil([&] { return picker->fileInfo()->path() == QStringLiteral("/pick"); }));
    EXPECT_TRUE(picker->goForwardButton()->isEnabled());
    EXPECT_TRUE(picker->tableView()->selectedRowIndexes().isEmpty());
}

TEST_F(FolderPicker, ANewFolderIsNamedInPlaceAndArrivesByTheMerge) {
    open(KZPickerOperationTypeCopy, {});
    go(QStringLiteral("/pick/b"));
    ASSERT_TRUE(picker->files().isEmpty());
    picker->createFolderButtonClicked();
    ASSERT_EQ(picker->files().size(), 1);
    EXPECT_TRUE(picker->isEditing());
    KZFolderInfoCell* cell = nameCell(0);
    ASSERT_NE(cell, nullptr);
    EXPECT_FALSE(cell->nameTextField()->isHidden());
    EXPECT_EQ(cell->textFieldContent(), QStringLiteral("新建文件夹"));

    // While naming, a second press and a row click change nothing.
    picker->createFolderButtonClicked();
    EXPECT_EQ(picker->files().size(), 1);
    picker->tableView()->selectRowIndexes(kit::IndexSet(0), false);
    EXPECT_EQ(picker->fileInfo()->path(), QStringLiteral("/pick/b"));

    // The field refuses a slash, as the list's does.
    QLineEdit* editor = cell->nameTextField()->editor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("x/y"));
    EXPECT_EQ(cell->textFieldContent(), QStringLiteral("xy"));

    // A blank name becomes the proposed one.
    cell->nameTextField()->setStringValue(QStringLiteral("  "));
    cell->nameTextField()->doCommand(kit::TextCommand::InsertNewline);
    ASSERT_TRUE(waitUntil([] { return exists(QStringLiteral("/pick/b/新建文件夹")); }));
    ASSERT_TRUE(waitUntil([&] { return !picker->isEditing(); }));
    ASSERT_TRUE(waitUntil([&] { return names() == QStringList{QStringLiteral("新建文件夹")}; }));
    EXPECT_FALSE(KZLocalFileInfo::isLocal(picker->files().first().get()));
}

TEST_F(FolderPicker, ANameWithASlashNeverMakesANestedFolder) {
    open(KZPickerOperationTypeCopy, {});
    go(QStringLiteral("/pick/a"));
    picker->createFolderButtonClicked();
    ASSERT_NE(nameCell(0), nullptr);
    picker->createFolder(QStringLiteral("deep/inner"));
    drainEvents();
    EXPECT_FALSE(picker->isEditing());
    EXPECT_FALSE(exists(QStringLiteral("/pick/a/deep/inner")));
    ASSERT_TRUE(waitUntil([&] { return names() == QStringList{QStringLiteral("deep")}; }));
}

TEST_F(FolderPicker, ChangesOfOtherFoldersAreIgnoredAndAResetReloads) {
    open(KZPickerOperationTypeCopy, {});
    go(QStringLiteral("/pick"));
    const QStringList before = names();
    auto stranger = CloudFileInfo::create();
    stranger->setNid(424242);
    stranger->setName(QStringLiteral("stranger"));
    stranger->setIsDirectory(true);
    picker->didKZSessionIncrNodeChanged(nullptr, 999999, false, {stranger});
    EXPECT_EQ(names(), before);

    // A reply (here after a reset) replaces a local row that was being named.
    picker->createFolderButtonClicked();
    ASSERT_EQ(picker->files().size(), before.size() + 1);
    picker->didKZSessionIncrNodeChanged(nullptr, 0, true, {});
    ASSERT_TRUE(waitUntil([&] { return names() == before; }));
    EXPECT_FALSE(picker->isEditing());
}

TEST(FolderRowView, DrawsNoSelectionWhenTheTableHighlightsNothing) {
    KZFolderRowView row;
    row.setSelected(true);
    EXPECT_EQ(row.backgroundView()->customBackgroundColor(), KZStyle::cellSelectedColor());
    row.mouseEntered(kit::Event());
    EXPECT_EQ(row.backgroundView()->customBackgroundColor(), QColor(Qt::white));
    row.setSelected(false);
    row.mouseEntered(kit::Event());
    EXPECT_EQ(row.backgroundView()->customBackgroundColor(), KZStyle::VCBackgroundColor());
    row.mouseExited(kit::Event());
    EXPECT_EQ(row.backgroundView()->customBackgroundColor(), QColor(Qt::white));
}

TEST(FolderInfoCell, TheDateColumnHidesTheIconAndShowsADashWithoutATime) {
    KZFolderInfoCell cell;
    auto f = CloudFileInfo::create();
    f->setName(QStringLiteral("docs"));
    f->setIsDirectory(true);
    cell.setType(KZFileInfoCellTypeName);
    cell.setFileInfo(f);
    EXPECT_FALSE(cell.iconImageView()->isHidden());
    EXPECT_EQ(cell.infoLabel()->text(), QStringLiteral("docs"));
    cell.setType(KZFileInfoCellTypeModifyTime);
    EXPECT_TRUE(cell.iconImageView()->isHidden());
    EXPECT_EQ(cell.infoLabel()->text(), QStringLiteral("-"));
}
