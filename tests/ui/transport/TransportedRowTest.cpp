// The finished list's drawn rows: they look exactly as the cell widgets they replace, and their
// parts act as those widgets did.
#include "TransportFixture.h"
#include "support/ToastRecord.h"

#include "kit/TableView.h"
#include "kit/Window.h"
#include "shell/KZAlertController.h"
#include "shell/KZTools.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileRowView.h"
#include "ui/transport/KZDownloadFileOperationsCell.h"
#include "ui/transport/KZTransportFileProgressCell.h"
#include "ui/transport/KZTransportListView.h"
#include "ui/transport/KZTransportedFilesViewController.h"
#include "ui/transport/KZUploadFileOperationsCell.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace nubo::test;
using Part = KZTransportedRowView::Part;
using L = KZTransportListView;

namespace {

KZTransportedJob finishedUpload(const QString& name, quint64 size, quint32 time) {
    KZUploadJobInfo i;
    i.m_path = QStringLiteral("/up/") + name;
    i.m_disk_path = QStringLiteral("/tmp/") + name;
    i.m_status = KZTransportJobStatusFinished;
    i.m_fsize = size;
    i.m_jobFinishedTime = time;
    return {std::make_shared<KZUploadJobOpenInfo>(i), nullptr};
}

KZTransportedJob finishedDownload(const QString& path, qint64 size, quint32 time) {
    KZDownloadJobInfo i;
    i.m_path = path;
    i.m_status = KZTransportJobStatusFinished;
    i.m_fsize = size;
    i.m_jobFinishedTime = time;
    return {nullptr, std::make_shared<KZDownloadJobOpenInfo>(i)};
}

template <class View> void show(View* view, const KZTransportedJob& job) {
    if (job.upload)
        view->setUploadJobInfo(job.upload);
    else
        view->setDownloadJobInfo(job.download);
}

// The finished rows as the list showed them before they were drawn whole: a file row with a
// cell widget per column.
class WidgetRows : public QObject, public kit::TableViewDataSource, public kit::TableViewDelegate {
public:
    QList<KZTransportedJob> jobs;
    bool drawn = false;

    int numberOfRowsInTableView(kit::TableView*) override { return int(jobs.size()); }
    kit::View* tableViewViewForTableColumn(kit::TableView*, kit::TableColumn* column, int row) override {
        if (drawn || column->title().isEmpty())
            return nullptr;
        const KZTransportedJob& job = jobs[row];
        if (column->title() == L::kStateTitle) {
            auto* cell = new KZTransportFileProgressCell;
            show(cell, job);
            return cell;
        }
        if (column->title() == L::kOperationsTitle) {
            if (job.upload) {
                auto* cell = new KZUploadFileOperationsCell;
                cell->setUploadJobInfo(job.upload);
                return cell;
            }
            auto* cell = new KZDownloadFileOperationsCell;
            cell->setDownloadJobInfo(job.download);
            return cell;
        }
        auto* cell = new KZFileInfoCell;
        cell->setType(column->title() == L::kSizeTitle ? KZFileInfoCellTypeSize : KZFileInfoCellTypeName);
        show(cell, job);
        return cell;
    }
    kit::TableRowView* tableViewRowViewForRow(kit::TableView*, int row) override {
        if (drawn) {
            auto* rv = new KZTransportedRowView;
            rv->setJob(jobs[row]);
            return rv;
        }
        auto* rv = new KZFileRowView;
        show(rv, jobs[row]);
        return rv;
    }
};

} // namespace

// Pixel for pixel, selected, hovered or neither, short, long and wide names, both directions.
TEST(TransportedRow, LooksExactlyAsTheCellWidgetsItReplaces) {
    const QList<KZTransportedJob> jobs{
        finishedUpload(QStringLiteral("a.txt"), 1234, 1700000000),
        finishedDownload(QStringLiteral("/tmp/d/") + QString(60, QLatin1Char('n')) + QStringLiteral(".pdf"),
                         5'000'000, 1600000000),
        finishedUpload(QStringLiteral("季度报告（最终版）.docx"), 0, 1),
        finishedDownload(QStringLiteral("/tmp/d/damaged.bin"), -1, 1700000500),
    };
    QImage images[2];
    for (int drawn = 0; drawn < 2; ++drawn) {
        WidgetRows rows;
        rows.jobs = jobs;
        rows.drawn = drawn;
        kit::Window window;
        window.setContentSize(QSizeF(760, 340));
        auto* list = new KZTransportListView;
        window.contentView()->addSubview(list);
        list->setFrame(window.contentView()->bounds());
        kit::TableView* table = list->tableView();
        table->setDataSource(&rows);
        table->setDelegate(&rows);
        table->reloadData();
        window.show();
        drainEvents();
        table->selectRowIndexes(kit::IndexSet(1), false);
        table->rowViewAtRow(2, false)->mouseEntered(kit::Event(kit::Event::Type::MouseEntered, QPointF()));
        drainEvents();
        images[drawn] = list->grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (drawn) {
            auto* hovered = qobject_cast<KZTransportedRowView*>(table->rowViewAtRow(2, false));
            ASSERT_TRUE(hovered);
            EXPECT_TRUE(hovered->isHovered());
            EXPECT_EQ(hovered->nameText(), QStringLiteral("季度报告（最终版）.docx"));
            EXPECT_TRUE(qobject_cast<KZTransportedRowView*>(table->rowViewAtRow(1, false))->isChecked());
        }
        table->setDataSource(nullptr);
        table->setDelegate(nullptr);
    }
    ASSERT_EQ(images[0].size(), images[1].size());
    int inked = 0; // the rows are there to compare
    for (int y = 0; y < images[0].height(); ++y)
        for (int x = 0; x < images[0].width(); ++x)
            inked += images[0].pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_GT(inked, 4000);
    int differing = 0;
    for (int y = 0; y < images[0].height(); ++y)
        for (int x = 0; x < images[0].width(); ++x)
            differing += images[0].pixel(x, y) != images[1].pixel(x, y);
    EXPECT_EQ(differing, 0);
}

class TransportedRowParts : public TransportTest {
protected:
    void SetUp() override {
        TransportTest::SetUp();
        QFile(down.path()).open(QIODevice::WriteOnly); // the downloaded file, for locating
        list = std::make_unique<KZTransportedFilesViewController>();
        showInWindow(list->view());
        settle();
        list->didUpdateFinishedUploadJobOpenInfos({up.upload});
        list->didUpdateFinishedDownloadJobOpenInfos({down.download});
        drainEvents();
    }
    void TearDown() override {
        list.reset();
        TransportTest::TearDown();
    }
    KZTransportedRowView* row(int i) const {
        return qobject_cast<KZTransportedRowView*>(list->tableView()->rowViewAtRow(i, false));
    }
    const KZTransportedJob up = finishedUpload(QStringLiteral("u.txt"), 10, 200);
    KZTransportedJob down = finishedDownload(localPath(QStringLiteral("d.txt")), 10, 100);
    std::unique_ptr<KZTransportedFilesViewController> list;
};

TEST_F(TransportedRowParts, ActOnReleaseInsideAndClicksElsewhereSelectTheRow) {
    ASSERT_EQ(list->tranportedJobs().size(), 2);
    ASSERT_TRUE(row(0) && row(1));
    ASSERT_EQ(row(1)->job(), down);

    // Locate shows the downloaded file in the file manager.
    clickAt(row(1), row(1)->rectOf(Part::Locate).center());
    using kit::workspace::FileAction;
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], qMakePair(FileAction::Select, down.path()));
    // Once the file was moved away, locate says so instead of doing nothing.
    {
        nubo::test::ToastRecord toasts;
        ASSERT_TRUE(QFile::remove(down.path()));
        clickAt(row(1), row(1)->rectOf(Part::Locate).center());
        EXPECT_TRUE(toasts.waitFor(QStringLiteral("文件不存在，可能已被移动或删除")));
        EXPECT_EQ(opened.size(), 1);
    }

    // A press on delete released elsewhere does nothing; nor does it select the row.
    const QPoint del = row(0)->rectOf(Part::Delete).center().toPoint();
    QTest::mousePress(row(0), Qt::LeftButton, {}, del);
    QTest::mouseRelease(row(0), Qt::LeftButton, {}, del + QPoint(0, 30));
    EXPECT_FALSE(presentedAlert());
    EXPECT_EQ(list->tableView()->numberOfSelectedRows(), 0);

    // The check box selects and deselects its row alone; a click on the name selects the row.
    clickRowCheckBox(list->tableView(), 1);
    EXPECT_EQ(list->tableView()->selectedRowIndexes(), kit::IndexSet(1));
    EXPECT_TRUE(row(1)->isChecked());
    EXPECT_TRUE(down.selected());
    EXPECT_FALSE(list->clearButton()->isHidden());
    EXPECT_EQ(list->clearButton()->left(), 16); // the bar shows the button that is there
    clickRowCheckBox(list->tableView(), 1);
    EXPECT_EQ(list->tableView()->numberOfSelectedRows(), 0);
    EXPECT_FALSE(row(1)->isChecked());
    EXPECT_TRUE(list->selectedJobs().isEmpty());
    EXPECT_EQ(list->clearAllButton()->left(), 16);
    const QRectF name = row(0)->rectOfColumn(L::FileColumn);
    clickAt(row(0), name.center());
    EXPECT_EQ(list->tableView()->selectedRowIndexes(), kit::IndexSet(0));
    EXPECT_TRUE(row(0)->isChecked());

    // Delete asks first, then clears that record only.
    takeUploadCommands();
    clickAt(row(0), row(0)->rectOf(Part::Delete).center());
    ASSERT_TRUE(presentedAlert());
    EXPECT_EQ(presentedAlert()->title(), QStringLiteral("确定要删除传输记录吗？"));
    ASSERT_TRUE(answerAlert(QStringLiteral("删除")));
    EXPECT_EQ(takeUploadCommands(), QStringList({"cancel /up/u.txt"}));
    EXPECT_TRUE(takeDownloadCommands().isEmpty());
}

// A row handed to another record draws and acts for that record only.
TEST_F(TransportedRowParts, AReusedRowShowsAndActsForItsNewRecord) {
    KZTransportedRowView* r = row(0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->nameText(), QStringLiteral("u.txt"));
    EXPECT_EQ(r->stateText(), KZTransportFileProgressCell::finishedText(true, 200));
    r->setJob(down);
    EXPECT_EQ(r->nameText(), QStringLiteral("d.txt"));
    EXPECT_EQ(r->sizeText(), KZTools::convertSizeToReadable(10));
    EXPECT_EQ(r->stateText(), KZTransportFileProgressCell::finishedText(false, 100));
    clickAt(r, r->rectOf(Part::Locate).center());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].second, down.path());
    r->setJob({});
    EXPECT_EQ(r->partAt(r->rectOf(Part::Delete).center()), Part::None);
    EXPECT_TRUE(r->buttonImageNames().isEmpty());
}
