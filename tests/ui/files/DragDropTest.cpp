// Drops on the file page synthesized through the kit (as the desktop delivers them) and drags of
// its own rows run by the kit's test runner, against the real page, session, transfer engines
// and embedded service.
#include "FileOpsFixture.h"

#include "foundation/NotificationCenter.h"
#include "kit/Drag.h"
#include "shell/KZTextFieldCell.h"
#include "ui/files/KZFileListStyleSwitcher.h"
#include "ui/files/KZFileRowView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

using namespace nubo::test;

namespace {

class DragDrop : public FileOpsTest {
protected:
    void TearDown() override {
        kit::drag::setRunnerForTesting({});
        FileOpsTest::TearDown();
    }
    // Where a row's middle is, in the table's own coordinates (the header above row 0).
    QPoint rowPoint(const QString& name) const {
        const int row = int(page->files().indexOf(this->row(name)));
        const QRectF r = page->tableView()->rectOfRow(row);
        return QPoint(300, int(r.center().y() - page->tableView()->visibleRect().y()));
    }
    QPoint belowLastRow() const {
        kit::TableView* t = page->tableView();
        return QPoint(300, t->height() - 10);
    }
    // Enter, move and drop at `pos`; whether the drop was taken.
    static bool dropAt(QWidget* target, QPoint pos, const QMimeData* mime,
                       Qt::DropActions actions = Qt::CopyAction) {
        QDragEnterEvent enter(pos, actions, mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(pos, actions, mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &move);
        if (!move.isAccepted()) {
            QDragLeaveEvent leave;
            QApplication::sendEvent(target, &leave);
            return false;
        }
        QDropEvent drop(pos, actions, mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    QString localFile(const QString& name, const QByteArray& content) {
        const QString path = s_local->path() + QStringLiteral("/in/") + name;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    static QMimeData* filesMime(const QStringList& paths) {
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls.append(QUrl::fromLocalFile(p));
        mime->setUrls(urls);
        return mime;
    }
    bool waitForNode(const QString& path) {
        return waitUntil([&] { return exists(path); }, 10000);
    }
    // Presses on a row and moves far enough for the table to start dragging it.
    void dragRow(const QString& name) {
        const int row = int(page->files().indexOf(this->row(name)));
        QWidget* rv = page->tableView()->rowViewAtRow(row, false);
        ASSERT_NE(rv, nullptr);
        const QPoint p(300, rv->height() / 2);
        QTest::mousePress(rv, Qt::LeftButton, {}, p);
        QTest::mouseMove(rv, p + QPoint(40, 3));
        QTest::mouseRelease(rv, Qt::LeftButton, {}, p + QPoint(40, 3));
    }
};

} // namespace

TEST_F(DragDrop, LocalFilesGoIntoTheFolderUnderThePointerOrTheOpenFolder) {
    jump(QStringLiteral("/three"));
    kit::TableView* table = page->tableView();
    int didDrop = 0;
    QObject counter;
    nubo::NotificationCenter::defaultCenter().addObserver(&counter, KZFileRowView::kDidDropInApplication,
                                                          [&](const nubo::Notification&) { ++didDrop; });

    std::unique_ptr<QMimeData> onFile(filesMime({localFile(QStringLiteral("one.txt"), "1")}));
    // Not "a.txt": the suite shares one account, and another test moves that file away.
    EXPECT_TRUE(dropAt(table, rowPoint(QStringLiteral("c.txt")), onFile.get()));
    EXPECT_TRUE(waitForNode(QStringLiteral("/three/one.txt")));
    EXPECT_GE(didDrop, 1);

    std::unique_ptr<QMimeData> onFolder(filesMime({localFile(QStringLiteral("two.txt"), "2")}));
    EXPECT_TRUE(dropAt(table, rowPoint(QStringLiteral("sub")), onFolder.get()));
    EXPECT_TRUE(waitForNode(QStringLiteral("/three/sub/two.txt")));

    std::unique_ptr<QMimeData> below(filesMime({localFile(QStringLiteral("three.txt"), "3")}));
    EXPECT_TRUE(dropAt(table, belowLastRow(), below.get()));
    EXPECT_TRUE(waitForNode(QStringLiteral("/three/three.txt")));

    jump(QStringLiteral("/empty"));
    std::unique_ptr<QMimeData> intoEmpty(filesMime({localFile(QStringLiteral("four.txt"), "4")}));
    EXPECT_TRUE(dropAt(table, QPoint(300, 100), intoEmpty.get()));
    EXPECT_TRUE(waitForNode(QStringLiteral("/empty/four.txt")));

    // The file system's root anywhere in a drag refuses it whole.
    jump(QStringLiteral("/three"));
    std::unique_ptr<QMimeData> root(
        filesMime({localFile(QStringLiteral("five.txt"), "5"), QStringLiteral("/")}));
    EXPECT_FALSE(dropAt(table, rowPoint(QStringLiteral("sub")), root.get()));
}

// Links written by other programs are taken by what they name: the file system's root, however
// written, is refused with a message wherever it is dropped; a folder link that ends in a slash
// is that folder; a relative link names no local file.
TEST_F(DragDrop, TheRootIsRefusedWithAMessageAndOddLinksNameWhatTheySay) {
    jump(QStringLiteral("/three"));
    kit::TableView* table = page->tableView();
    const auto linksMime = [](const QByteArray& links) {
        auto* mime = new QMimeData;
        mime->setData(QStringLiteral("text/uri-list"), links);
        return std::unique_ptr<QMimeData>(mime);
    };
    for (const QByteArray& root :
         {QByteArray("file:///"), QByteArray("file:////"), QByteArray("file:///tmp/..")}) {
        const auto mime = linksMime(root + "\r\n");
        EXPECT_FALSE(dropAt(table, rowPoint(QStringLiteral("sub")), mime.get())) << root.constData();
        EXPECT_TRUE(waitForToast(QStringLiteral("不能上传系统根目录“/”"))) << root.constData();
        EXPECT_FALSE(dropAt(table, belowLastRow(), mime.get())) << root.constData();
        EXPECT_TRUE(waitForToast(QStringLiteral("不能上传系统根目录“/”"))) << root.constData();
    }

    const QString folder = QFileInfo(localFile(QStringLiteral("dropped/inner.txt"), "in")).path();
    const auto slashed = linksMime(QUrl::fromLocalFile(folder).toEncoded() + "/\r\n");
    EXPECT_TRUE(dropAt(table, belowLastRow(), slashed.get()));
    EXPECT_TRUE(waitForNode(QStringLiteral("/three/dropped/inner.txt")));
    EXPECT_FALSE(exists(QStringLiteral("/three/inner.txt")));

    const auto relative = linksMime("file:inner.txt\r\n");
    EXPECT_FALSE(dropAt(table, rowPoint(QStringLiteral("sub")), relative.get()));
    EXPECT_FALSE(dropAt(table, belowLastRow(), relative.get()));
}

TEST_F(DragDrop, RowsHoveredByOutsideFilesLoseTheirLookWhenTheDragLeaves) {
    jump(QStringLiteral("/three"));
    kit::TableView* table = page->tableView();
    std::unique_ptr<QMimeData> mime(filesMime({localFile(QStringLiteral("hover.txt"), "h")}));
    QDragEnterEvent enter(rowPoint(QStringLiteral("sub")), Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(table, &enter);
    const int row = int(page->files().indexOf(this->row(QStringLiteral("sub"))));
    auto* rv = qobject_cast<KZFileRowView*>(table->rowViewAtRow(row, false));
    ASSERT_NE(rv, nullptr);
    EXPECT_TRUE(rv->draggingOutsideFiles());
    EXPECT_TRUE(rv->isTargetForDropOperation());
    QDragLeaveEvent leave;
    QApplication::sendEvent(table, &leave);
    EXPECT_FALSE(rv->draggingOutsideFiles());
    EXPECT_FALSE(rv->isTargetForDropOperation());
}

TEST_F(DragDrop, OwnRowsMoveOntoFoldersOnlyAndSearchResultsTakeNothing) {
    jump(QStringLiteral("/three"));
    kit::TableView* table = page->tableView();
    QString target;
    bool taken = false;
    // The runner drops where the test says, as the pointer would.
    kit::drag::setRunnerForTesting([&](QWidget*, QMimeData* mime, Qt::DropActions actions) {
        taken = dropAt(table, rowPoint(target), mime, actions);
        kit::DragResult r;
        r.action = taken ? Qt::MoveAction : Qt::IgnoreAction;
        return r;
    });
    target = QStringLiteral("b.txt"); // a file takes no rows
    dragRow(QStringLiteral("a.txt"));
    EXPECT_FALSE(taken);
    EXPECT_EQ(page->selectedFiles().size(), 1);

    target = QStringLiteral("sub"); // a folder does
    dragRow(QStringLiteral("a.txt"));
    EXPECT_TRUE(taken);
    EXPECT_TRUE(waitUntil(
        [&] { return exists(QStringLiteral("/three/sub/a.txt")) && !exists(QStringLiteral("/three/a.txt")); },
        10000));

    // A folder dragged onto itself stays where it is.
    drainEvents();
    target = QStringLiteral("sub");
    dragRow(QStringLiteral("sub"));
    EXPECT_FALSE(taken);

    // Search results take no drop of any kind.
    window->makeFirstResponder(page->fileSearchView()->textField());
    QTest::keyClicks(page->fileSearchView()->textField()->editor(), QStringLiteral("txt"));
    ASSERT_TRUE(waitUntil([&] {
        return page->fileInfo()->isSearch() && !page->isListRequestPending() && !page->files().isEmpty();
    }));
    window->makeFirstResponder(nullptr);
    drainEvents();
    std::unique_ptr<QMimeData> mime(filesMime({localFile(QStringLiteral("s.txt"), "s")}));
    EXPECT_FALSE(dropAt(table, QPoint(300, 60), mime.get()));
}

TEST_F(DragDrop, RowsDraggedOutArriveWhereTheFileManagerDroppedThem) {
    const int count = 100;
    QStringList names;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("out%1.bin").arg(i, 3, 10, QLatin1Char('0'));
        svc().putFile(QStringLiteral("/outbox/") + name,
                      ServiceFixture::randomBytes(1000 + i * 37, quint32(i)));
        names.append(name);
    }
    jump(QStringLiteral("/"));
    page->requestIncrFiles();
    ASSERT_TRUE(waitUntil([&] { return !page->isRefreshing(); }));
    jump(QStringLiteral("/outbox"));
    ASSERT_EQ(page->files().size(), count);
    page->selectAllRows();

    QTemporaryDir dropFolder;
    int offered = 0;
    // The file manager: asks for the files at the drop and copies them into its folder.
    kit::drag::setRunnerForTesting([&](QWidget*, QMimeData* mime, Qt::DropActions) {
        EXPECT_TRUE(mime->hasFormat(QStringLiteral("text/uri-list")));
        for (const QUrl& u : mime->urls()) {
            ++offered;
            QFile::copy(u.toLocalFile(),
                        dropFolder.path() + QLatin1Char('/') + QFileInfo(u.toLocalFile()).fileName());
        }
        kit::DragResult r;
        r.action = Qt::CopyAction;
        r.releasedOutsideNubo = true;
        return r;
    });
    const QString fallback = s_local->path() + QStringLiteral("/fallback");
    QDir().mkpath(fallback);
    kit::drag::setPromiseFallbackFolder(fallback);
    dragRow(names.first());
    kit::drag::setPromiseFallbackFolder(QString());
    EXPECT_EQ(offered, count);
    for (const QString& name : names) {
        QFile f(dropFolder.path() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray local = f.readAll();
        const auto node = svc().service().nodeByPath(QStringLiteral("/outbox/") + name);
        ASSERT_TRUE(node.ok());
        EXPECT_EQ(ServiceFixture::sha1(local), ServiceFixture::sha1(svc().readAll(node.value.nid)))
            << name.toStdString();
    }
    // Served as local files: nothing goes to the fallback folder.
    drainEvents();
    EXPECT_TRUE(QDir(fallback).entryList(QDir::Files).isEmpty());
}

TEST_F(DragDrop, TheGridTakesFilesOnFolderTilesAndLeavesASeveralTileDragsSelectionAlone) {
    // A folder of its own: the suite shares one account, and other tests move /three's files.
    for (const char* n : {"a", "b"})
        svc().putFile(QStringLiteral("/grid/%1.txt").arg(QLatin1String(n)), QByteArray(n));
    svc().mkdir(QStringLiteral("/grid/sub"));
    jump(QStringLiteral("/"));
    page->requestIncrFiles();
    ASSERT_TRUE(waitUntil([&] { return !page->isRefreshing(); }));
    jump(QStringLiteral("/grid"));
    page->switcher()->setStyle(KZFileListStyleGrid);
    drainEvents();
    kit::CollectionView* grid = page->collectionView();
    const auto tileCenter = [&](const QString& name) {
        const int item = int(page->files().indexOf(row(name)));
        const QRectF f = grid->frameForItem(item);
        return QPoint(int(f.center().x()), int(f.center().y() - grid->visibleRect().y()));
    };
    std::unique_ptr<QMimeData> mime(filesMime({localFile(QStringLiteral("tile.txt"), "t")}));
    EXPECT_TRUE(dropAt(grid, tileCenter(QStringLiteral("sub")), mime.get()));
    EXPECT_TRUE(waitForNode(QStringLiteral("/grid/sub/tile.txt")));

    // Two tiles dragged: the selection stays as the user made it.
    select({QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    page->collectionView()->selectItems(page->getCollectionViewSelectedIndexPathsFromTableView());
    const QList<CloudFileInfoPtr> before = page->selectedFiles();
    QList<kit::IndexPath> two;
    for (const QString& n : {QStringLiteral("a.txt"), QStringLiteral("b.txt")})
        two.append(kit::IndexPath{0, int(page->files().indexOf(row(n)))});
    page->collectionViewDraggingSessionWillBegin(grid, nullptr, {}, two);
    EXPECT_EQ(page->selectedFiles(), before);
    page->collectionViewDraggingSessionWillBegin(grid, nullptr, {}, {two.first()});
    EXPECT_EQ(page->selectedFiles(), QList<CloudFileInfoPtr>{row(QStringLiteral("a.txt"))});
}
