// The move/copy destination picker against the real session.
#include "FileOpsFixture.h"

#include "cloud/KZSession.h"
#include "foundation/Dispatch.h"
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
#include <QPointer>
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
    // Opens the picker with the page's own command, for the rows of /pick named `moving` (a
    // file by default: files are not recorded, so every folder is listed).
    void open(uint type, const QStringList& moving = {QStringLiteral("file.txt")}) {
        jump(QStringLiteral("/pick"));
        select(moving);
        if (type == KZPickerOperationTypeMove)
            page->actionMoveFile();
        else
            page->actionCopyFile();
        picker = presentedPicker();
        ASSERT_NE(picker, nullptr);
        ASSERT_TRUE(waitUntil([&] { return !picker->files().isEmpty(); }));
    }
    // The folder the session keeps for the picker; -1 once a picker said it is gone.
    static qint64 sessionPickerFolder() {
        qint64 nid = 0;
        nubo::KZBackgroundThread::shared().runAndWait(
            [&] { nid = KZSession::sharedSession().pickerFolder(); });
        return nid;
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
    QPointer<KZFoldersWindowController> picker;
};

} // namespace

TEST_F(FolderPicker, ConfirmingAtOnceGivesTheRootAndCancelGivesNothing) {
    open(KZPickerOperationTypeCopy);
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

    ASSERT_TRUE(waitUntil([&] { return picker.isNull(); }));
    open(KZPickerOperationTypeMove);
    EXPECT_EQ(picker->confirmButton()->title(), QStringLiteral("移动"));
    picker->setSelectFolderBlock([&](const CloudFileInfoPtr&) { ++calls; });
    picker->cancelButtonClicked();
    EXPECT_EQ(calls, 1);
}

// However its window closes, the picker goes with it: it leaves the session's observers and the
// session forgets its folder, so closed pickers never pile up merging every change.
TEST_F(FolderPicker, AClosedPickerIsReleasedAndTheSessionForgetsItsFolder) {
    const QList<std::function<void(KZFoldersWindowController*)>> closings = {
        [](KZFoldersWindowController* p) { p->cancelButtonClicked(); },
        [](KZFoldersWindowController* p) { p->confirmButtonClicked(); },
        [](KZFoldersWindowController* p) { p->window()->close(); }, // the title bar's button
    };
    for (int i = 0; i < closings.size(); ++i) {
        open(i == 1 ? KZPickerOperationTypeMove : KZPickerOperationTypeCopy);
        go(QStringLiteral("/pick/a"));
        ASSERT_EQ(sessionPickerFolder(), picker->fileInfo()->nid());
        picker->setSelectFolderBlock({});
        closings[i](picker);
        ASSERT_TRUE(waitUntil([&] { return picker.isNull(); })) << "closing " << i;
        EXPECT_EQ(presentedPicker(), nullptr);
        EXPECT_EQ(sessionPickerFolder(), -1) << "closing " << i;
    }
}

TEST_F(FolderPicker, ListsFoldersOnlyAndHidesTheFoldersBeingMoved) {
    open(KZPickerOperationTypeMove, {QStringLiteral("a"), QStringLiteral("file.txt")});
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
    open(KZPickerOperationTypeCopy);
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
    open(KZPickerOperationTypeCopy);
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
    open(KZPickerOperationTypeCopy);
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

// A name typed for a new folder ends, with nothing sent, whenever the rows it stood among are
// replaced or its row is withdrawn: no field stays open over a reused cell that now shows
// another folder, and the next new folder starts from its proposed name.
TEST_F(FolderPicker, LeavingTheFolderOrAChangeEndsTheNameWithNothingSent) {
    svc().mkdir(QStringLiteral("/leave/x/y"));
    refresh();
    open(KZPickerOperationTypeCopy);
    go(QStringLiteral("/leave"));
    go(QStringLiteral("/leave/x"));
    const QList<QPair<const char*, std::function<void()>>> leavings = {
        {"back", [&] { picker->actionGoback(); }},
        {"forward", [&] { picker->actionGoForward(); }},
        {"change",
         [&] {
             svc().mkdir(QStringLiteral("/leave/x/arrived"));
             refresh();
         }},
        {"crumb", [&] { picker->folderCrumbsDidClickDirectoryPath(QStringLiteral("/leave")); }},
    };
    for (const auto& [what, leave] : leavings) {
        const QString shown = picker->fileInfo()->path();
        picker->createFolderButtonClicked();
        KZFolderInfoCell* cell = nameCell(0);
        ASSERT_NE(cell, nullptr) << what;
        QLineEdit* editor = cell->nameTextField()->editor();
        editor->selectAll();
        editor->insert(QStringLiteral("归档"));
        leave();
        ASSERT_TRUE(waitUntil([&] { return !picker->isEditing(); })) << what;
        EXPECT_EQ(editingNameField(picker->window()), nullptr) << what;
        for (int row = 0; row < picker->files().size(); ++row)
            if (KZFolderInfoCell* c = nameCell(row)) {
                EXPECT_TRUE(c->nameTextField()->isHidden()) << what;
                EXPECT_EQ(c->infoLabel()->text(), picker->files().at(row)->name()) << what;
            }
        for (const auto& f : picker->files())
            EXPECT_FALSE(KZLocalFileInfo::isLocal(f.get())) << what;
        drainEvents();
        EXPECT_FALSE(exists(shown + QStringLiteral("/归档"))) << what;
        EXPECT_FALSE(exists(picker->fileInfo()->fixedPath() + QStringLiteral("归档"))) << what;

        // The next new folder proposes its own name; left unnamed, it goes again.
        picker->createFolderButtonClicked();
        ASSERT_NE(nameCell(0), nullptr);
        EXPECT_TRUE(nameCell(0)->textFieldContent().startsWith(QStringLiteral("新建文件夹"))) << what;
        nameCell(0)->abandonEditing();
        EXPECT_FALSE(picker->isEditing());
        EXPECT_FALSE(KZLocalFileInfo::isLocal(picker->files().value(0).get()));
    }
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
