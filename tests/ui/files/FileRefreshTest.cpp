// The open folder follows the session's node changes without a reload; new folders are named in
// place; renames end in place.
#include "FileOpsFixture.h"

#include "shell/KZButton.h"
#include "shell/KZTextFieldCell.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileInfoItemView.h"
#include "ui/files/KZFileListStyleSwitcher.h"

using namespace nubo::test;

namespace {

class FileRefresh : public FileOpsTest {
protected:
    KZFileInfoCell* nameCell(int row) {
        return qobject_cast<KZFileInfoCell*>(page->tableView()->viewAtColumn(page->nameColumn(), row, false));
    }
    // Types a name into the cell's field and presses Return.
    void typeAndReturn(KZFileInfoCell* cell, const QString& text) {
        cell->nameTextField()->setStringValue(text);
        cell->nameTextField()->doCommand(kit::TextCommand::InsertNewline);
    }
    qint64 nid(const QString& path) { return svc().service().nodeByPath(path).value.nid; }
};

} // namespace

TEST_F(FileRefresh, ChangesMergeInOrderAndTheSelectionFollowsItsNodes) {
    svc().putFile(QStringLiteral("/merge/b.txt"), "b");
    svc().putFile(QStringLiteral("/merge/d.txt"), "d");
    svc().putFile(QStringLiteral("/merge/f.txt"), "f");
    svc().mkdir(QStringLiteral("/merge/m"));
    refresh();
    jump(QStringLiteral("/merge"));
    select({QStringLiteral("b.txt"), QStringLiteral("d.txt"), QStringLiteral("m")});
    ASSERT_EQ(page->selectedFiles().size(), 3);

    // b.txt is selected and moves; d.txt is selected and goes.
    ASSERT_TRUE(svc().service().rename(nid(QStringLiteral("/merge/b.txt")), QStringLiteral("z.txt")).ok());
    ASSERT_FALSE(svc().service().remove({nid(QStringLiteral("/merge/d.txt"))}));
    svc().putFile(QStringLiteral("/merge/a.txt"), "a"); // new, first
    svc().mkdir(QStringLiteral("/merge/n"));            // new folder
    refresh();

    EXPECT_EQ(rowNames(), (QStringList{"m", "n", "a.txt", "f.txt", "z.txt"}));
    EXPECT_EQ(selectedNamesSorted(), (QStringList{"m", "z.txt"}));
    EXPECT_EQ(page->tableView()->selectedRowIndexes(), (kit::IndexSet{0, 4}));
    EXPECT_EQ(page->homeToolBarMessage(), QStringLiteral("已选中2个文件"));

    // The same rows as a fresh listing of the folder.
    const QStringList merged = rowNames();
    page->reloadFiles();
    ASSERT_TRUE(waitUntil([&] { return page->selectedFiles().isEmpty(); }));
    EXPECT_EQ(rowNames(), merged);
}

TEST_F(FileRefresh, OtherFoldersAreIgnoredAndAResetReloads) {
    jump(QStringLiteral("/three"));
    const QStringList before = rowNames();
    auto stranger = CloudFileInfo::create();
    stranger->setNid(987654);
    stranger->setPid(nid(QStringLiteral("/dest")));
    stranger->setName(QStringLiteral("stranger.txt"));
    page->didKZSessionIncrNodeChanged(nullptr, stranger->pid(), false, {stranger});
    EXPECT_EQ(rowNames(), before);

    svc().putFile(QStringLiteral("/three/late.txt"), "late");
    refresh(); // the session has it now; a reset makes the page ask for the folder again
    page->files().first()->setName(QStringLiteral("stale"));
    page->didKZSessionIncrNodeChanged(nullptr, 0, true, {});
    ASSERT_TRUE(waitUntil([&] { return !rowNames().contains(QStringLiteral("stale")); }));
    EXPECT_TRUE(rowNames().contains(QStringLiteral("late.txt")));
}

TEST_F(FileRefresh, ADeletedFolderForgetsItsScrollOffsets) {
    svc().mkdir(QStringLiteral("/offsets/gone"));
    for (int i = 0; i < 40; ++i)
        svc().putFile(QStringLiteral("/offsets/gone/f%1").arg(i), "x");
    refresh();
    jump(QStringLiteral("/offsets"));
    const CloudFileInfoPtr parent = page->fileInfo();
    page->openDir(row(QStringLiteral("gone")));
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->name() == QStringLiteral("gone"); }));
    drainEvents();
    const QString key = QString::number(page->fileInfo()->nid());
    page->tableView()->scrollToPoint(QPointF(0, 300));
    page->openDir(parent); // leaving a folder remembers where it was scrolled to
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->path() == QStringLiteral("/offsets"); }));
    ASSERT_TRUE(page->tableViewOffsets().contains(key));

    ASSERT_FALSE(svc().service().remove({nid(QStringLiteral("/offsets/gone"))}));
    refresh();
    EXPECT_TRUE(page->files().isEmpty());
    EXPECT_FALSE(page->tableViewOffsets().contains(key));
}

TEST_F(FileRefresh, TheRefreshButtonComesBackAfterAFailureWithItsText) {
    jump(QStringLiteral("/three"));
    svc().service().failNext(
        nubo::ServiceOp::FetchChanges, 1,
        BWError::withMessage(QStringLiteral("KZCloud"), 500, QStringLiteral("服务器忙")));
    page->requestIncrFiles();
    EXPECT_TRUE(page->refreshButton()->isHidden());
    ASSERT_TRUE(waitUntil([&] { return !page->isRefreshing(); }));
    EXPECT_FALSE(page->refreshButton()->isHidden());
    EXPECT_TRUE(waitForToast(QStringLiteral("服务器忙")));

    page->kzSessionRequestGetIncrNodeFail(nullptr, 1, {}, BWError());
    EXPECT_TRUE(waitForToast(QStringLiteral("刷新失败，请重试")));
}

TEST_F(FileRefresh, ANewFolderIsNamedInPlaceAndItsRowTakesThePlaceholdersPlace) {
    jump(QStringLiteral("/names"));
    page->actionCreateDir();
    ASSERT_EQ(page->creatingFiles().size(), 1);
    EXPECT_TRUE(page->isEditing());
    EXPECT_EQ(page->files().first()->name(), QStringLiteral("新建文件夹 2")); // the file takes no number
    EXPECT_EQ(page->files().first()->nid(), 0);
    KZFileInfoCell* cell = nameCell(0);
    ASSERT_NE(cell, nullptr);
    EXPECT_FALSE(cell->nameTextField()->isHidden());

    // A second request while naming is ignored.
    page->actionCreateDir();
    EXPECT_EQ(page->creatingFiles().size(), 1);

    // The placeholder is never opened or sent.
    page->tableView()->selectAll();
    EXPECT_FALSE(page->deleteFiles({page->files().first()}));
    page->deselectAllRows();

    typeAndReturn(cell, QStringLiteral("报告 (2024)"));
    EXPECT_EQ(toastText(), QStringLiteral("正在创建文件夹..."));
    EXPECT_FALSE(page->isEditing());
    ASSERT_TRUE(waitForToast(QStringLiteral("文件夹创建成功")));
    EXPECT_TRUE(exists(QStringLiteral("/names/报告 (2024)")));
    EXPECT_TRUE(page->creatingFiles().isEmpty());
    EXPECT_EQ(rowNames().count(QStringLiteral("报告 (2024)")), 1);
    EXPECT_FALSE(KZLocalFileInfo::isLocal(row(QStringLiteral("报告 (2024)")).get()));
}

// Switching between list and grid while a name is typed ends the naming as a click elsewhere
// does: the typed name is sent, and the page takes new commands again.
TEST_F(FileRefresh, SwitchingTheViewWhileNamingSendsTheTypedName) {
    jump(QStringLiteral("/names"));
    page->actionCreateDir();
    ASSERT_NE(nameCell(0), nullptr);
    nameCell(0)->nameTextField()->setStringValue(QStringLiteral("切换前"));
    page->switcher()->setStyle(KZFileListStyleGrid);
    EXPECT_FALSE(page->isEditing());
    ASSERT_TRUE(waitForToast(QStringLiteral("文件夹创建成功")));
    EXPECT_TRUE(exists(QStringLiteral("/names/切换前")));
    ASSERT_TRUE(waitUntil([&] { return page->creatingFiles().isEmpty(); }));
    ASSERT_TRUE(waitUntil([&] { return rowNames().count(QStringLiteral("切换前")) == 1; }));
    EXPECT_EQ(rowNames().count(page->files().first()->name()), 1);
    for (const auto& f : page->files())
        EXPECT_FALSE(KZLocalFileInfo::isLocal(f.get())) << f->name().toStdString();

    // A rename typed in the grid goes out when the list comes back.
    const int index = int(page->files().indexOf(row(QStringLiteral("切换前"))));
    page->collectionView()->selectItems({kit::IndexPath{0, index}}, kit::ScrollPosition::None);
    page->selectRowsAtIndexes(page->collectionView()->selectionIndexes());
    page->actionRenameFile();
    ASSERT_TRUE(page->isEditing());
    auto* tile =
        dynamic_cast<KZFileInfoItemView*>(page->collectionView()->itemAtIndexPath(kit::IndexPath{0, index}));
    ASSERT_NE(tile, nullptr);
    tile->fileNameTextField()->setStringValue(QStringLiteral("切换后"));
    page->switcher()->setStyle(KZFileListStyleList);
    EXPECT_FALSE(page->isEditing());
    ASSERT_TRUE(waitForToast(QStringLiteral("文件重命名成功")));
    EXPECT_TRUE(exists(QStringLiteral("/names/切换后")));

    // New folders can be made again.
    page->actionCreateDir();
    EXPECT_EQ(page->creatingFiles().size(), 1);
    EXPECT_TRUE(page->isEditing());
}

TEST_F(FileRefresh, AFailedCreateReloadsAndDropsThePlaceholder) {
    jump(QStringLiteral("/names"));
    page->actionCreateDir();
    KZFileInfoCell* cell = nameCell(0);
    ASSERT_NE(cell, nullptr);
    typeAndReturn(cell, QStringLiteral("新建文件夹 3")); // taken
    ASSERT_TRUE(waitUntil([&] { return page->creatingFiles().isEmpty(); }));
    ASSERT_TRUE(waitUntil([&] { return !KZLocalFileInfo::isLocal(page->files().first().get()); }));
    EXPECT_TRUE(waitUntil(
        [&] { return !toastText().isEmpty() && toastText() != QStringLiteral("正在创建文件夹..."); }));
    EXPECT_EQ(rowNames().count(QStringLiteral("新建文件夹 3")), 1);
}

TEST_F(FileRefresh, RenameEndsInPlace) {
    svc().putFile(QStringLiteral("/rename/old.txt"), "o");
    refresh();
    jump(QStringLiteral("/rename"));
    select({QStringLiteral("old.txt")});
    page->actionRenameFile();
    ASSERT_TRUE(page->isEditing());
    KZFileInfoCell* cell = nameCell(0);
    ASSERT_NE(cell, nullptr);

    // Unchanged: nothing is sent, no toast, but editing ends.
    typeAndReturn(cell, QStringLiteral("old.txt"));
    EXPECT_FALSE(page->isEditing());
    EXPECT_TRUE(toastText().isEmpty());

    page->actionRenameFile();
    typeAndReturn(nameCell(0), QStringLiteral("new.txt"));
    EXPECT_EQ(toastText(), QStringLiteral("正在重命名..."));
    ASSERT_TRUE(waitForToast(QStringLiteral("文件重命名成功")));
    ASSERT_TRUE(waitUntil([&] { return rowNames() == QStringList{QStringLiteral("new.txt")}; }));
    EXPECT_TRUE(exists(QStringLiteral("/rename/new.txt")));

    // A refused name comes back at once, and the reload shows the real one again.
    svc().service().failNext(
        nubo::ServiceOp::Rename, 1,
        BWError::withMessage(QStringLiteral("KZCloud"), 9, QStringLiteral("重命名失败")));
    select({QStringLiteral("new.txt")});
    page->actionRenameFile();
    typeAndReturn(nameCell(0), QStringLiteral("other.txt"));
    ASSERT_TRUE(waitForToast(QStringLiteral("重命名失败")));
    ASSERT_TRUE(waitUntil(
        [&] { return nameCell(0) && nameCell(0)->infoLabel()->text() == QStringLiteral("new.txt"); }));
}

TEST_F(FileRefresh, ASearchResultSearchesAgainInsteadOfMerging) {
    svc().putFile(QStringLiteral("/find/apple.txt"), "a");
    svc().putFile(QStringLiteral("/find/pear.txt"), "p");
    refresh();
    jump(QStringLiteral("/find"));
    KZSessionProxy::shareSessionProxy()->searchFileListByFileInfo(page->fileInfo(), QStringLiteral("apple"),
                                                                  0, page, {});
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->isSearch(); }));
    ASSERT_EQ(rowNames(), QStringList{QStringLiteral("apple.txt")});

    svc().putFile(QStringLiteral("/find/cherry.txt"), "c"); // does not match
    svc().putFile(QStringLiteral("/find/apple pie.txt"), "ap");
    refresh();
    ASSERT_TRUE(waitUntil([&] { return rowNames().size() == 2; }));
    EXPECT_TRUE(rowNames().contains(QStringLiteral("apple pie.txt")));
    EXPECT_FALSE(rowNames().contains(QStringLiteral("cherry.txt")));
    EXPECT_TRUE(page->fileInfo()->isSearch());
}

TEST_F(FileRefresh, ARefusedInPlaceRenameLeavesNoBlockingToastAndShowsTheRealName) {
    svc().putFile(QStringLiteral("/locked/doc.txt"), "d");
    refresh();
    const qint64 doc = nid(QStringLiteral("/locked/doc.txt"));
    ASSERT_FALSE(svc().service().setEditLocked(doc, true));
    refresh();
    jump(QStringLiteral("/locked"));
    ASSERT_TRUE(row(QStringLiteral("doc.txt"))->m_isEditLock());
    select({QStringLiteral("doc.txt")});
    page->actionRenameFile();
    typeAndReturn(nameCell(0), QStringLiteral("changed.txt"));
    KZAlertController* alert = nullptr;
    ASSERT_TRUE(waitForAlert(&alert));
    EXPECT_EQ(alert->title(), QStringLiteral("操作失败"));
    EXPECT_NE(toastText(), QStringLiteral("正在重命名..."));
    ASSERT_TRUE(waitUntil(
        [&] { return nameCell(0) && nameCell(0)->infoLabel()->text() == QStringLiteral("doc.txt"); }));
    EXPECT_TRUE(exists(QStringLiteral("/locked/doc.txt")));
    EXPECT_FALSE(svc().service().setEditLocked(doc, false));
}

TEST_F(FileRefresh, BigMergesMatchAFreshListingInBothNameOrders) {
    // Names that tie on case and digits, so the keys tie and the exact name or the id decides.
    const QStringList stems{"a", "A", "b", "a1", "a01", "报告", "Ä"};
    svc().mkdir(QStringLiteral("/big"));
    for (int i = 0; i < 60; ++i) {
        const QString name =
            stems.at(i % stems.size()) + QString::number(i % 4) + QStringLiteral("_%1").arg(i);
        if (i % 5 == 0)
            svc().mkdir(QStringLiteral("/big/") + name);
        else
            svc().putFile(QStringLiteral("/big/") + name + QStringLiteral(".txt"), "x");
    }
    refresh();
    jump(QStringLiteral("/big"));
    for (int mode : {0, 1}) {
        page->setFileListSortMode(mode);
        page->reloadFiles();
        ASSERT_TRUE(waitUntil([&] { return page->files().size() >= 50 && page->files().sortedBy() == mode; }))
            << page->files().size() << " " << page->files().sortedBy();
        const CloudFileList rows = page->files();
        // Rename every third row, remove every seventh, add a few; some rows were read before.
        for (qsizetype i = 0; i < rows.size(); i += 4)
            rows.at(i);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QString renamed =
                stems.at((i + mode) % stems.size()) + QStringLiteral("r%1_%2").arg(mode).arg(i);
            if (i % 7 == 0) {
                ASSERT_FALSE(svc().service().remove({rows.nid(i)}));
            } else if (i % 3 == 0) {
                ASSERT_TRUE(svc().service().rename(rows.nid(i), renamed).ok());
            }
        }
        for (int k = 0; k < 6; ++k)
            svc().putFile(
                QStringLiteral("/big/%1new%2_%3.txt").arg(stems.at(k % stems.size())).arg(mode).arg(k), "n");
        refresh();
        const QStringList merged = rowNames();
        page->reloadFiles();
        ASSERT_TRUE(waitUntil([&] { return page->files().size() == merged.size() && rowNames() == merged; }))
            << "mode " << mode;
    }
}
