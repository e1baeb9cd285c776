// The transfer page, its feedback window and the transfer settings window, against the real
// engines, the embedded service and the settings database.
#include "TransportFixture.h"
#include "support/ShellReset.h"

#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/NetworkMonitor.h"
#include "foundation/NotificationCenter.h"
#include "foundation/SingletonT.h"
#include "kit/Window.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"
#include "shell/KZMessageSet.h"
#include "shell/KZRouter.h"
#include "shell/KZSegmentedControl.h"
#include "shell/KZWindowsManager.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "support/Images.h"
#include "ui/feedback/FeedbackWindowController.h"
#include "ui/transport/KZDownloadingFilesViewController.h"
#include "ui/transport/KZTransportFileProgressCell.h"
#include "ui/transport/KZTransportSettingWindowController.h"
#include "ui/transport/KZTransportViewController.h"
#include "ui/transport/KZUploadingFilesViewController.h"

#include <QDir>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QImage>
#include <QTest>
#include <atomic>

using namespace nubo::test;
using nubo::ServiceOp;

class TransportPage : public TransportPageTest {
protected:
    // Shows the page again, as the home window does when its tab is chosen.
    void reappear() {
        page->view()->hide();
        page->view()->show();
        settle();
    }
    QStringList titles() const {
        QStringList out;
        for (int i = 0; i < page->segmentedControl()->numberOfSegments(); ++i)
            out << page->segmentedControl()->titleAtIndex(i);
        return out;
    }
    bool waitTitles(const QStringList& expected) {
        const bool ok = waitUntil([&] { return titles() == expected; }, 15000);
        EXPECT_EQ(titles(), expected);
        return ok;
    }
};

// Each title counts the rows its list shows, from set-up through every change; each appearance
// chooses the first tab with work.
TEST_F(TransportPage, TitlesCountTheListsAndAppearanceChoosesTheTab) {
    EXPECT_EQ(page->segmentedControl()->selectedSegmentIndex(), 2);
    EXPECT_EQ(titles(), QStringList({"正在上传", "正在下载", "传输完成"}));

    svc.service().setHeld(ServiceOp::PutBlock, true);
    const QStringList ups = addUploadJobs(3, 1000);
    ASSERT_TRUE(waitTitles({"正在上传(3)", "正在下载", "传输完成"}));
    // Paused jobs are still rows of the uploading list, so still counted.
    KZUploadMgrProxy::shareUploadMgrProxy()->pause(ups[0]);
    ASSERT_TRUE(waitUploads({ups[0]}, KZTransportJobStatusPaused));
    EXPECT_EQ(titles()[0], QStringLiteral("正在上传(3)"));
    reappear();
    EXPECT_EQ(page->segmentedControl()->selectedSegmentIndex(), 0);
    EXPECT_EQ(page->selectedView(), page->uploadingFilesController()->view());

    KZUploadMgrProxy::shareUploadMgrProxy()->resume(ups[0]);
    svc.service().setHeld(ServiceOp::PutBlock, false);
    ASSERT_TRUE(waitTitles({"正在上传", "正在下载", "传输完成(3)"}));

    // Only downloads active: their tab, even with finished transfers there.
    svc.service().setHeld(ServiceOp::ReadRange, true);
    addDownloadJobs(1, 2000);
    ASSERT_TRUE(waitTitles({"正在上传", "正在下载(1)", "传输完成(3)"}));
    reappear();
    EXPECT_EQ(page->segmentedControl()->selectedSegmentIndex(), 1);
    svc.service().setHeld(ServiceOp::ReadRange, false);
    ASSERT_TRUE(waitTitles({"正在上传", "正在下载", "传输完成(4)"}));
    reappear();
    EXPECT_EQ(page->segmentedControl()->selectedSegmentIndex(), 2);

    // The posted counts are a cue to count again, not a count of their own.
    nubo::NotificationCenter::defaultCenter().post(KZSession::kNotificationTransportJobCount,
                                                   QVariantMap{{KZSession::kUploadCountKey, 7}});
    settle();
    EXPECT_EQ(titles(), QStringList({"正在上传", "正在下载", "传输完成(4)"}));
    EXPECT_EQ(KZTransportViewController::titleForSegment(0, 3), QStringLiteral("正在上传(3)"));
}

// Titles with five-digit counts show whole, in the font each is drawn with, on the narrowest page
// the home window allows (its least width less the navigator), whichever tab is chosen.
TEST_F(TransportPage, TitlesWithFiveDigitCountsShowWhole) {
    page->view()->setFrame(QRectF(0, 0, 800 - 180, 600));
    drainEvents();
    KZSegmentedControl* control = page->segmentedControl();
    for (int i = 0; i < 3; ++i)
        control->updateTitle(KZTransportViewController::titleForSegment(i, 99999 - i), i);
    EXPECT_FALSE(control->frame().intersects(page->feedbackButton()->frame()));
    for (int selected : {0, 1, 2}) {
        control->selectSegmentAtIndex(selected);
        for (int i = 0; i < 3; ++i) {
            const QRectF frame = control->segmentFrame(i);
            EXPECT_GE(frame.left(), 0) << selected << i;
            EXPECT_LE(frame.right(), control->width()) << selected << i;
            EXPECT_LE(QFontMetricsF(control->segmentFont(i)).horizontalAdvance(control->titleAtIndex(i)),
                      frame.width())
                << selected << i;
        }
    }
}

// Six one-block jobs each way with the service holding their calls: five run and the sixth
// waits, in both lists; the posted counts and the titles count all six (running plus waiting).
TEST_F(TransportPage, SixSmallJobsEachWayShowFiveRunningAndOneWaiting) {
    std::atomic<int> postedUp{-1}, postedDown{-1};
    QObject listener;
    nubo::NotificationCenter::defaultCenter().addObserver(
        &listener, KZSession::kNotificationTransportJobCount, [&](const nubo::Notification& n) {
            const QVariantMap counts = n.object.toMap();
            postedUp = counts.value(KZSession::kUploadCountKey).toInt();
            postedDown = counts.value(KZSession::kDownloadCountKey).toInt();
        });
    svc.service().setHeld(ServiceOp::ReadRange, true);
    addDownloadJobs(6, 2000);
    svc.service().setHeld(ServiceOp::PutBlock, true);
    addUploadJobs(6, 1000);
    ASSERT_TRUE(waitUntil([&] {
        return svc.service().heldCalls(ServiceOp::PutBlock) == 5 &&
               svc.service().heldCalls(ServiceOp::ReadRange) == 5;
    }));
    ASSERT_TRUE(waitTitles({"正在上传(6)", "正在下载(6)", "传输完成"}));
    EXPECT_EQ(postedUp, 6);
    EXPECT_EQ(postedDown, 6);
    EXPECT_EQ(KZUploadMgrProxy::shareUploadMgrProxy()->getRunningJobCount(), 5);
    EXPECT_EQ(KZUploadMgrProxy::shareUploadMgrProxy()->getWaitingJobCount(), 1);
    EXPECT_EQ(KZDownloadMgrProxy::shareDownloadMgrProxy()->getRunningJobCount(), 5);
    EXPECT_EQ(KZDownloadMgrProxy::shareDownloadMgrProxy()->getWaitingJobCount(), 1);

    // What each list's state cells say, row by row.
    const auto states = [&](KZTransportListController* list) {
        QStringList out;
        for (int row = 0; row < 6; ++row) {
            QString said = QStringLiteral("no cell");
            for (int column = 0; column < list->tableView()->numberOfColumns(); ++column)
                if (auto* cell = dynamic_cast<KZTransportFileProgressCell*>(
                        list->tableView()->viewAtColumn(column, row, false)))
                    said = cell->descriptionLabel()->text();
            out << said;
        }
        return out;
    };
    const auto fiveRunning = [](QStringList shown, const QString& waiting) {
        const bool lastWaits = shown.takeLast() == waiting;
        return lastWaits && !shown.contains(waiting);
    };
    page->segmentedControl()->selectSegmentAtIndex(0);
    EXPECT_TRUE(waitUntil([&] { return fiveRunning(states(page->uploadingFilesController()), "等待上传"); }))
        << states(page->uploadingFilesController()).join(u'|').toStdString();
    page->segmentedControl()->selectSegmentAtIndex(1);
    EXPECT_TRUE(waitUntil([&] {
        return fiveRunning(states(page->downloadingFilesController()), "等待下载");
    })) << states(page->downloadingFilesController()).join(u'|').toStdString();

    svc.service().setHeld(ServiceOp::PutBlock, false);
    svc.service().setHeld(ServiceOp::ReadRange, false);
    ASSERT_TRUE(waitTitles({"正在上传", "正在下载", "传输完成(12)"}));
}

TEST_F(TransportPage, OverdueAccountsSeeTheCoverWithBuyForAdministrators) {
    const struct {
        bool admin, person;
        QString title;
        int buttons;
    } cases[] = {
        {true, false, QStringLiteral("您的企业尚未购买服务套餐"), 1},
        {false, false, QStringLiteral("您的套餐已过期, 请联系管理员续费"), 0},
    };
    for (const auto& c : cases) {
        const QVariantMap detail{{QStringLiteral("is_admin"), c.admin},
                                 {QStringLiteral("is_person"), c.person},
                                 {QStringLiteral("is_vip"), true},
                                 {QStringLiteral("expire_status"), 2}};
        ASSERT_TRUE(svc.service().setAccount({QStringLiteral("1"), QStringLiteral("0"), detail}).isNull());
        bool done = false;
        KZSessionProxy::shareSessionProxy()->loginLocal([&](const BWError&) { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }, 20000));
        reappear();
        KZMessageSetView* cover = KZMessageSet::messageSetViewOf(page->view());
        ASSERT_TRUE(cover);
        EXPECT_EQ(cover->titleLabel()->text(), c.title);
        EXPECT_EQ(cover->buttons().size(), c.buttons);
        if (c.buttons) {
            EXPECT_EQ(cover->buttons().first()->title(), QStringLiteral("去购买"));
        }
        EXPECT_EQ(page->contentView()->alphaValue(), 0.0);
        done = false;
        KZSessionProxy::shareSessionProxy()->logoutLocal([&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }, 10000));
    }
    reappear();
    EXPECT_FALSE(KZMessageSet::messageSetViewOf(page->view()));
    EXPECT_EQ(page->contentView()->alphaValue(), 1.0);
}

TEST_F(TransportPage, FeedbackNeedsTheNetworkAndIsKeptByTheService) {
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(true);
    page->feedbackButton()->sendAction();
    EXPECT_TRUE(shownFeedback().isEmpty());
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(false);
    page->feedbackButton()->sendAction();
    FeedbackWindowController* feedback = shownFeedback().value(0);
    ASSERT_TRUE(feedback);

    // Nothing is sent without a description, nor is a file that is no picture attached.
    feedback->commitButtonClicked();
    settle();
    EXPECT_TRUE(svc.service().feedbackReports().value.isEmpty());
    const QString notImage = localPath(QStringLiteral("notes.txt"));
    QFile text(notImage);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    EXPECT_FALSE(feedback->addImageFile(notImage));

    const QString png = localPath(QStringLiteral("shot.png"));
    QFile shot(png);
    ASSERT_TRUE(shot.open(QIODevice::WriteOnly));
    shot.write(nubo::test::png(20, 10, Qt::red));
    shot.close();
    EXPECT_TRUE(feedback->addImageFile(png));
    EXPECT_EQ(feedback->imageNames(), QStringList({"shot.png"}));
    feedback->descriptionField()->setPlainText(QStringLiteral("  下载到一半停住了  "));
    feedback->contactField()->setText(QStringLiteral("user@example.com"));
    feedback->commitButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return svc.service().feedbackReports().value.size() == 1; }));
    const nubo::FeedbackReport kept = svc.service().feedbackReports().value.first();
    EXPECT_EQ(kept.description, QStringLiteral("下载到一半停住了"));
    EXPECT_EQ(kept.contact, QStringLiteral("user@example.com"));
    ASSERT_EQ(kept.images.size(), 1);
    QFile f(png);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.images.first(), f.readAll());
    EXPECT_GT(kept.time, 0);
    // The window thanks the user and closes by itself.
    EXPECT_TRUE(waitUntil([&] { return shownFeedback().isEmpty(); }));
}

TEST(EmbeddedFeedback, KeepsReportsWithTheirLogsAndRefusesThemOverTheLimits) {
    ServiceFixture svc;
    nubo::FeedbackReport r;
    r.description = QStringLiteral("   ");
    EXPECT_FALSE(svc.service().submitFeedback(r).ok());
    r.description = QString(nubo::CloudService::kFeedbackMaxDescription + 1, u'x');
    EXPECT_FALSE(svc.service().submitFeedback(r).ok());
    r.description = QStringLiteral("ok");
    r.images = QList<QByteArray>(nubo::CloudService::kFeedbackMaxImages + 1, QByteArray("x"));
    EXPECT_FALSE(svc.service().submitFeedback(r).ok());
    r.images = {QByteArray(nubo::CloudService::kFeedbackMaxImageBytes + 1, 'x')};
    EXPECT_FALSE(svc.service().submitFeedback(r).ok());
    EXPECT_TRUE(svc.service().feedbackReports().value.isEmpty());
    r.images = {QByteArray("img")};
    // Logs: the log and its backup at most, each named and within a whole log file.
    const nubo::FeedbackFile log{QStringLiteral("nubo.log"), QByteArray("line\n")};
    r.logs = QList<nubo::FeedbackFile>(nubo::CloudService::kFeedbackMaxLogs + 1, log);
    EXPECT_FALSE(svc.service().submitFeedback(r).ok());
    r.logs = {{QString(), QByteArray("line\n")}};
    EXPECT_FALSE(svc.service().submitFeedback(r).ok());
    r.logs = {{QStringLiteral("nubo.log"), QByteArray(nubo::CloudService::kFeedbackMaxLogBytes + 1, 'x')}};
    EXPECT_FALSE(svc.service().submitFeedback(r).ok());
    EXPECT_TRUE(svc.service().feedbackReports().value.isEmpty());

    r.logs = {{QStringLiteral("nubo.log.1"), QByteArray(nubo::CloudService::kFeedbackMaxLogBytes, 'x')}, log};
    EXPECT_TRUE(svc.service().submitFeedback(r).ok());
    r.logs.clear();
    EXPECT_TRUE(svc.service().submitFeedback(r).ok());
    const auto kept = svc.service().feedbackReports().value;
    ASSERT_EQ(kept.size(), 2);
    EXPECT_EQ(kept[0].images, QList<QByteArray>({"img"}));
    EXPECT_EQ(kept[0].logs,
              QList<nubo::FeedbackFile>(
                  {{QStringLiteral("nubo.log.1"), QByteArray(nubo::CloudService::kFeedbackMaxLogBytes, 'x')},
                   log}));
    EXPECT_TRUE(kept[1].logs.isEmpty());
}

class TransportSettings : public ::testing::Test {
protected:
    void SetUp() override {
        config().setDownloadPath(QDir::homePath());
        config().setShouldSelectDownloadPath(true);
    }
    void TearDown() override {
        delete controller;
        drainEvents();
        nubo::test::resetShell();
    }
    static nubo::SystemConfig& config() { return nubo::SingletonT<nubo::SystemConfig>::instance(); }
    // Chooses `folder` in the real folder dialog the select button opens.
    void chooseFolder(const QString& folder) {
        controller->selectPathButton()->sendAction();
        QFileDialog* dialog = nullptr;
        ASSERT_TRUE(
            waitUntil([&] { return (dialog = controller->window()->findChild<QFileDialog*>()) != nullptr; }));
        dialog->setDirectory(folder);
        dialog->selectFile(folder);
        QMetaObject::invokeMethod(dialog, "accept");
        drainEvents();
    }
    KZTransportSettingWindowController* controller = nullptr;
    QTemporaryDir dir;
};

TEST_F(TransportSettings, SavesOnlyOnConfirmAndShowsWhatIsSaved) {
    KZTransportSettingWindowController::registerWithRouter();
    controller = new KZTransportSettingWindowController;
    KZWindowsManager::shareInstance().showWindow(controller);
    drainEvents();
    EXPECT_EQ(controller->folderPathLabel()->text(), QDir(QDir::homePath()).dirName());
    EXPECT_FALSE(controller->checkBoxButton()->checked());

    const QString chosen = dir.path() + QStringLiteral("/Incoming");
    ASSERT_TRUE(QDir().mkpath(chosen));
    chooseFolder(chosen);
    EXPECT_EQ(controller->path(), chosen);
    EXPECT_EQ(controller->folderPathLabel()->text(), QStringLiteral("Incoming"));
    controller->checkBoxButton()->setChecked(true);
    // Closed without confirming: nothing saved, and the window shows the saved values again.
    controller->closeWindow();
    drainEvents();
    config().flush();
    {
        nubo::SystemConfig fresh(nubo::paths::dataFolder());
        EXPECT_EQ(fresh.getDownloadPath(), QDir::homePath());
        EXPECT_TRUE(fresh.getShouldSelectDownloadPath());
    }
    KZWindowsManager::shareInstance().showWindow(controller);
    drainEvents();
    EXPECT_EQ(controller->path(), QDir::homePath());
    EXPECT_FALSE(controller->checkBoxButton()->checked());

    chooseFolder(chosen);
    controller->checkBoxButton()->setChecked(true);
    controller->confirmButton()->sendAction();
    drainEvents();
    config().flush();
    nubo::SystemConfig fresh(nubo::paths::dataFolder());
    EXPECT_EQ(fresh.getDownloadPath(), chosen);
    EXPECT_FALSE(fresh.getShouldSelectDownloadPath());
    EXPECT_FALSE(KZWindowsManager::shareInstance().isShown(controller));
}

// The root as the download folder is shown as "/", not as an empty label.
TEST_F(TransportSettings, TheRootFolderShowsAsASlash) {
    config().setDownloadPath(QStringLiteral("/"));
    KZTransportSettingWindowController::registerWithRouter();
    controller = new KZTransportSettingWindowController;
    KZWindowsManager::shareInstance().showWindow(controller);
    drainEvents();
    EXPECT_EQ(controller->folderPathLabel()->text(), QStringLiteral("/"));
    chooseFolder(QStringLiteral("/"));
    EXPECT_EQ(controller->path(), QStringLiteral("/"));
    EXPECT_EQ(controller->folderPathLabel()->text(), QStringLiteral("/"));
}

// The check box toggles on its box and its title, not on the empty row beside them.
TEST_F(TransportSettings, TheCheckBoxTogglesOnlyOnItsBoxAndTitle) {
    KZTransportSettingWindowController::registerWithRouter();
    controller = new KZTransportSettingWindowController;
    KZWindowsManager::shareInstance().showWindow(controller);
    drainEvents();
    kit::View* content = controller->window()->contentView();
    KZCheckBoxButton* box = controller->checkBoxButton();
    const QRectF frame = box->frame();
    auto clickAt = [&](const QPointF& point) {
        QWidget* target = content->childAt(point.toPoint());
        if (!target)
            target = content;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(content, point.toPoint()));
        drainEvents(1);
    };
    ASSERT_FALSE(box->checked());
    clickAt(QPointF(frame.left() + 7, frame.center().y())); // the box
    EXPECT_TRUE(box->checked());
    clickAt(QPointF(frame.right() - 10, frame.center().y())); // the end of the title
    EXPECT_FALSE(box->checked());
    // The row beside the title, up to the right edge of the controls above it.
    for (double x : {frame.right() + 4, controller->selectPathButton()->frame().center().x(),
                     controller->selectPathButton()->frame().right() - 2}) {
        clickAt(QPointF(x, frame.center().y()));
        EXPECT_FALSE(box->checked()) << x;
    }
}
