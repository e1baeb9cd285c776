// The state cell and the row buttons of the transfer lists.
#include "TransportFixture.h"

#include "kit/ImageView.h"
#include "shell/KZAlertController.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZProgressView.h"
#include "shell/KZStyle.h"
#include "support/ToastRecord.h"
#include "ui/transport/KZDownloadFileOperationsCell.h"
#include "ui/transport/KZTransportFileProgressCell.h"
#include "ui/transport/KZTransportListView.h"
#include "ui/transport/KZUploadFileOperationsCell.h"

#include <QDir>
#include <QHelpEvent>
#include <QToolTip>

using namespace nubo::test;

namespace {

KZUploadJobOpenInfoPtr upload(int status, quint64 size = 0, qint64 done = 0, double speed = 0) {
    KZUploadJobInfo i;
    i.m_path = QStringLiteral("/up/a.txt");
    i.m_disk_path = QStringLiteral("/tmp/a.txt");
    i.m_status = quint32(status);
    i.m_fsize = size;
    i.m_finishedSize = done;
    i.m_speed = speed;
    i.m_progress = size ? double(done) / double(size) : 0;
    return std::make_shared<KZUploadJobOpenInfo>(i);
}

KZDownloadJobOpenInfoPtr download(int status, const QString& path = QStringLiteral("/tmp/d/b.txt")) {
    KZDownloadJobInfo i;
    i.m_path = path;
    i.m_cloudFile = QStringLiteral("/b.txt");
    i.m_status = status;
    return std::make_shared<KZDownloadJobOpenInfo>(i);
}

// Which parts of the state cell show.
QString shown(const KZTransportFileProgressCell& c) {
    QString s;
    if (!c.progressView()->isHidden())
        s += QStringLiteral("bar ");
    if (!c.descriptionLabel()->isHidden())
        s += QStringLiteral("text ");
    if (!c.errorLabel()->isHidden())
        s += QStringLiteral("error ");
    if (!c.iconImageView()->isHidden())
        s += QStringLiteral("icon ");
    if (!c.completionLabel()->isHidden())
        s += QStringLiteral("done ");
    return s.trimmed();
}

QString buttons(const KZTransportOperationsCell& c) {
    QStringList out;
    for (KZButton* b : {c.taskStartButton(), c.taskDeleteButton(), c.showInFinderButton()})
        out << (b->isHidden() ? QStringLiteral("-") : KZTransportOperationsCell::imageName(b));
    return out.join(u' ');
}

} // namespace

TEST(TransportProgressCell, TextsAndPartsOfEveryStatus) {
    KZTransportFileProgressCell cell;
    cell.setFrameSize(QSizeF(260, 44));

    // Running at 0 B/s: the divisor is 100 B/s, so 1,000,000 bytes left take 10,000 s.
    cell.setUploadJobInfo(upload(1, 1000000, 0, 0));
    EXPECT_EQ(shown(cell), QStringLiteral("bar text"));
    EXPECT_EQ(cell.descriptionLabel()->text(), QStringLiteral("0B/S - 剩余 02:46:40"));
    const auto runs = cell.descriptionLabel()->attributedText().runs();
    ASSERT_FALSE(runs.isEmpty());
    EXPECT_EQ(*runs.last().color, KZStyle::titleColor()); // the time left of an upload

    // Done equal to, or past, the size: nothing left, never a wrapped count.
    cell.setUploadJobInfo(upload(1, 5000, 5000, 2048));
    EXPECT_EQ(cell.descriptionLabel()->text(), QStringLiteral("2K/S - 剩余 00:00:00"));
    cell.setUploadJobInfo(upload(1, 5000, 9000, 2048));
    EXPECT_EQ(cell.descriptionLabel()->text(), QStringLiteral("2K/S - 剩余 00:00:00"));
    EXPECT_DOUBLE_EQ(cell.progressView()->value(), 1.0);

    cell.setUploadJobInfo(upload(2));
    EXPECT_EQ(cell.descriptionLabel()->text(), QStringLiteral("已暂停"));
    cell.setUploadJobInfo(upload(3));
    EXPECT_EQ(cell.descriptionLabel()->text(), QStringLiteral("等待上传"));
    cell.setUploadJobInfo(upload(6));
    EXPECT_EQ(cell.descriptionLabel()->text(), QStringLiteral("已取消"));

    auto failed = upload(4);
    failed->m_error = BWError::application(1, QStringLiteral("磁盘已满"));
    cell.setUploadJobInfo(failed);
    EXPECT_EQ(shown(cell), QStringLiteral("error"));
    EXPECT_EQ(cell.errorLabel()->text(), QStringLiteral("磁盘已满"));
    EXPECT_EQ(cell.errorLabel()->textColor(), KZStyle::warningColor());
    // An unknown status waits and clears the error left by the row's former job.
    cell.setUploadJobInfo(upload(0));
    EXPECT_EQ(shown(cell), QStringLiteral("bar text"));
    EXPECT_EQ(cell.descriptionLabel()->text(), QStringLiteral("等待上传"));
    EXPECT_TRUE(cell.errorLabel()->text().isEmpty());

    auto finished = upload(5);
    finished->m_jobFinishedTime = 0;
    cell.setUploadJobInfo(finished);
    EXPECT_EQ(shown(cell), QStringLiteral("icon done"));
    EXPECT_EQ(cell.completionLabel()->text(), QStringLiteral("上传完成  -"));
    EXPECT_EQ(cell.iconImageView()->image().name(), QStringLiteral("transport_upload"));
}

// An error longer than the state column shows whole in a tooltip where the pointer rests; one
// that fits needs none.
TEST(TransportProgressCell, AnErrorThatDoesNotFitShowsWholeInATooltip) {
    KZTransportFileProgressCell cell;
    cell.setFrameSize(QSizeF(230, 44)); // the lists' state column
    cell.setVisible(true);
    auto failed = upload(4);
    const QString whole = QStringLiteral("服务存储失败：数据库已损坏：database disk image is malformed "
                                         "(INSERT INTO blocks (sha1, size) VALUES (?, ?))");
    failed->m_error = BWError::application(1, whole);
    cell.setUploadJobInfo(failed);
    KZLabel* label = cell.errorLabel();
    ASSERT_TRUE(label->isTruncated());
    EXPECT_EQ(label->fullTextToolTip(), whole);
    QHelpEvent rest(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(label, &rest);
    EXPECT_TRUE(QToolTip::text().contains(whole.toHtmlEscaped())) << QToolTip::text().toStdString();

    failed->m_error = BWError::application(1, QStringLiteral("磁盘已满"));
    cell.setUploadJobInfo(failed);
    EXPECT_TRUE(label->fullTextToolTip().isEmpty());
    QCoreApplication::sendEvent(label, &rest);
    EXPECT_TRUE(nubo::test::waitUntil([] { return !QToolTip::isVisible(); }));
}

TEST(TransportProgressCell, DownloadTextsAndTheFrozenWait) {
    KZTransportFileProgressCell cell;
    cell.setFrameSize(QSizeF(260, 44));
    cell.setDownloadJobInfo(download(3));
    EXPECT_EQ(cell.descriptionLabel()->text(), QStringLiteral("等待下载"));

    auto frozen = download(7);
    frozen->m_error = BWError::withMessage(BWError::kDomainCloud, 9, QStringLiteral("文件正在解冻"));
    cell.setDownloadJobInfo(frozen);
    EXPECT_EQ(shown(cell), QStringLiteral("bar text"));
    EXPECT_EQ(cell.descriptionLabel()->text(), QStringLiteral("文件正在解冻"));

    auto running = download(1);
    running->m_fsize = 1000000;
    cell.setDownloadJobInfo(running);
    const auto runs = cell.descriptionLabel()->attributedText().runs();
    ASSERT_FALSE(runs.isEmpty());
    EXPECT_EQ(*runs.last().color, KZStyle::darkGray2Color());

    auto finished = download(5);
    finished->m_jobFinishedTime = 1700000000;
    cell.setDownloadJobInfo(finished);
    EXPECT_TRUE(cell.completionLabel()->text().startsWith(QStringLiteral("下载完成  20")));
    EXPECT_EQ(cell.iconImageView()->image().name(), QStringLiteral("transport_download"));

    // The bar and its line are centred as one block; the bar is 180 points wide, 5 below the line.
    cell.setDownloadJobInfo(download(2));
    EXPECT_DOUBLE_EQ(cell.progressView()->left(), 10.0);
    EXPECT_DOUBLE_EQ(cell.progressView()->width(), 180.0);
    EXPECT_DOUBLE_EQ(cell.progressView()->top(), cell.descriptionLabel()->bottom() + 5.0);
    EXPECT_DOUBLE_EQ(cell.descriptionLabel()->width(), 240.0);
}

TEST(TransportOperationsCell, ButtonsByStatusAndTheirPlaces) {
    KZUploadFileOperationsCell up;
    up.setFrameSize(QSizeF(120, 44));
    KZDownloadFileOperationsCell down;
    down.setFrameSize(QSizeF(120, 44));
    const struct {
        int status;
        const char* upload;
        const char* download;
    } table[] = {
        {1, "transport_pause transport_delete transport_position",
         "transport_pause transport_delete transport_position"},
        {2, "transport_play transport_delete transport_position",
         "transport_play transport_delete transport_position"},
        {3, "transport_pause transport_delete transport_position",
         "transport_pause transport_delete transport_position"},
        {4, "transport_retry transport_delete transport_position", "transport_retry transport_delete -"},
        {5, "- share_delete transport_position", "- share_delete transport_position"},
        {7, "transport_pause transport_delete transport_position",
         "transport_pause transport_delete transport_position"},
    };
    for (const auto& row : table) {
        up.setUploadJobInfo(upload(row.status));
        down.setDownloadJobInfo(download(row.status));
        EXPECT_EQ(buttons(up), QLatin1String(row.upload)) << row.status;
        EXPECT_EQ(buttons(down), QLatin1String(row.download)) << row.status;
    }
    // A finished row: no start button, so delete stands at 6 and locate 10 after it.
    up.setUploadJobInfo(upload(5));
    down.setDownloadJobInfo(download(5));
    for (KZTransportOperationsCell* c :
         {static_cast<KZTransportOperationsCell*>(&up), static_cast<KZTransportOperationsCell*>(&down)}) {
        EXPECT_DOUBLE_EQ(c->taskDeleteButton()->left(), 6.0);
        EXPECT_DOUBLE_EQ(c->showInFinderButton()->left(), 40.0);
        EXPECT_DOUBLE_EQ(c->showInFinderButton()->top(), 10.0);
    }
    down.setDownloadJobInfo(download(2));
    EXPECT_DOUBLE_EQ(down.taskStartButton()->left(), 6.0);
    EXPECT_DOUBLE_EQ(down.taskDeleteButton()->left(), 40.0);
    EXPECT_DOUBLE_EQ(down.showInFinderButton()->left(), 74.0);
}

class TransportCellCommands : public TransportTest {};

TEST_F(TransportCellCommands, StartPauseAndRetrySendTheirCommand) {
    KZUploadFileOperationsCell up;
    up.setUploadJobInfo(upload(4));
    up.taskStartButton()->sendAction();
    up.setUploadJobInfo(upload(2));
    up.taskStartButton()->sendAction();
    up.setUploadJobInfo(upload(1));
    up.taskStartButton()->sendAction();
    EXPECT_EQ(takeUploadCommands(), QStringList({"resume /up/a.txt", "resume /up/a.txt", "pause /up/a.txt"}));

    KZDownloadFileOperationsCell down;
    down.setDownloadJobInfo(download(7));
    down.taskStartButton()->sendAction();
    down.setDownloadJobInfo(download(4));
    down.taskStartButton()->sendAction();
    EXPECT_EQ(takeDownloadCommands(), QStringList({"pause /tmp/d/b.txt", "resume /tmp/d/b.txt"}));
}

// Declining resumes a job only when it was running or waiting as the question opened, whatever its
// status is by the time of the answer.
TEST_F(TransportCellCommands, DeleteQuestionsPauseAskAndResumeWhatRan) {
    KZUploadFileOperationsCell up;
    auto running = upload(1);
    up.setUploadJobInfo(running);
    up.taskDeleteButton()->sendAction();
    EXPECT_EQ(takeUploadCommands(), QStringList({"pause /up/a.txt"})); // before the question
    ASSERT_TRUE(presentedAlert());
    EXPECT_EQ(presentedAlert()->title(), QStringLiteral("文件还未上传到云盘，确定要取消上传吗？"));
    running->m_status = KZTransportJobStatusPaused; // the pause has been reported
    ASSERT_TRUE(answerAlert(QStringLiteral("取消")));
    EXPECT_EQ(takeUploadCommands(), QStringList({"resume /up/a.txt"}));

    auto paused = upload(2);
    up.setUploadJobInfo(paused);
    up.taskDeleteButton()->sendAction();
    EXPECT_TRUE(takeUploadCommands().isEmpty());
    paused->m_status = KZTransportJobStatusRunning; // resumed elsewhere meanwhile
    ASSERT_TRUE(answerAlert(QStringLiteral("取消")));
    EXPECT_TRUE(takeUploadCommands().isEmpty());

    up.setUploadJobInfo(upload(4));
    up.taskDeleteButton()->sendAction();
    ASSERT_TRUE(answerAlert(QStringLiteral("确定")));
    EXPECT_EQ(takeUploadCommands(), QStringList({"cancelUnfinished /up/a.txt"}));

    KZDownloadFileOperationsCell down;
    down.setDownloadJobInfo(download(5));
    down.taskDeleteButton()->sendAction();
    ASSERT_TRUE(presentedAlert());
    EXPECT_EQ(presentedAlert()->title(), QStringLiteral("确定要删除传输记录吗？"));
    EXPECT_EQ(presentedAlert()->iconName(), QStringLiteral("alert_warning"));
    ASSERT_TRUE(answerAlert(QStringLiteral("删除")));
    EXPECT_EQ(takeDownloadCommands(), QStringList({"cancel /tmp/d/b.txt"}));

    // A frozen download is paused by the question but was not running: declining leaves it.
    down.setDownloadJobInfo(download(7));
    down.taskDeleteButton()->sendAction();
    ASSERT_TRUE(answerAlert(QStringLiteral("取消")));
    EXPECT_TRUE(takeDownloadCommands().isEmpty());
}

TEST_F(TransportCellCommands, LocateShowsTheRightPlace) {
    const QString folder = localPath(QStringLiteral("dl"));
    QDir().mkpath(folder);
    QFile(folder + QStringLiteral("/b.txt")).open(QIODevice::WriteOnly);
    const QString source = localPath(QStringLiteral("a.txt"));
    QFile(source).open(QIODevice::WriteOnly);

    KZDownloadFileOperationsCell down;
    down.setDownloadJobInfo(download(5, folder + QStringLiteral("/b.txt")));
    down.showInFinderButton()->sendAction();
    down.setDownloadJobInfo(download(1, folder + QStringLiteral("/b.txt")));
    down.showInFinderButton()->sendAction();
    KZUploadFileOperationsCell up;
    auto job = upload(2);
    job->m_disk_path = source;
    up.setUploadJobInfo(job);
    up.showInFinderButton()->sendAction();

    using kit::workspace::FileAction;
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(opened[0], qMakePair(FileAction::Select, QString(folder + QStringLiteral("/b.txt"))));
    EXPECT_EQ(opened[1], qMakePair(FileAction::Open, folder)); // the folder, not the partial file
    EXPECT_EQ(opened[2], qMakePair(FileAction::Select, source));

    // A finished upload jumps the file page to the cloud file instead of a file manager.
    job->m_status = KZTransportJobStatusFinished;
    up.setUploadJobInfo(job);
    up.showInFinderButton()->sendAction();
    EXPECT_EQ(opened.size(), 3);
}

// An upload whose source was deleted says so when asked to locate it, instead of a button that
// does nothing (a finished download's record does the same, in the finished list's rows).
TEST_F(TransportCellCommands, LocatingASourceThatIsGoneSaysSo) {
    auto* up = new KZUploadFileOperationsCell;
    showInWindow(up, QSizeF(120, 44));
    nubo::test::ToastRecord toasts;
    auto job = upload(2);
    job->m_disk_path = localPath(QStringLiteral("deleted-source.txt"));
    up->setUploadJobInfo(job);
    up->showInFinderButton()->sendAction();
    EXPECT_TRUE(toasts.waitFor(QStringLiteral("文件不存在，可能已被移动或删除")));
    EXPECT_TRUE(opened.isEmpty());
}

TEST(TransportListView, BarButtonsOfAGoneControllerDoNothing) {
    KZTransportListView view;
    int runs = 0;
    auto* controller = new QObject;
    KZButton* b = view.addBarButton(QStringLiteral("暂停"), QStringLiteral("transport_pause"), controller,
                                    [&runs, controller] {
                                        controller->setObjectName(QStringLiteral("paused"));
                                        ++runs;
                                    });
    b->sendAction();
    EXPECT_EQ(runs, 1);
    delete controller;
    b->sendAction();
    EXPECT_EQ(runs, 1);
}

// The bar keeps its buttons' measured titles, but a new title or font is measured again.
TEST(TransportListView, BarButtonsFollowTheirTitles) {
    KZTransportListView view;
    view.resize(800, 400);
    KZButton* a = view.addBarButton(QStringLiteral("清除"), QStringLiteral("share_delete"), &view, [] {});
    KZButton* b = view.addBarButton(QStringLiteral("全部"), QStringLiteral("share_delete"), &view, [] {});
    view.layout();
    const qreal narrow = a->width();
    a->setTitle(QStringLiteral("清除全部传输记录"));
    view.layout();
    EXPECT_GT(a->width(), narrow);
    EXPECT_EQ(b->left(), a->right() + 8);
    QFont big = a->font();
    big.setPixelSize(40);
    const qreal before = a->width();
    a->setFont(big);
    view.layout();
    EXPECT_GT(a->width(), before);
}
