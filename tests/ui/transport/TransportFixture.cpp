#include "TransportFixture.h"
#include "foundation/SingletonT.h"

#include "foundation/Dispatch.h"
#include "foundation/NetworkMonitor.h"
#include "home/KZHomeToolbarController.h"
#include "kit/TableView.h"
#include "kit/Window.h"
#include "shell/KZAlertController.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZWindowsManager.h"
#include "storage/Database.h"
#include "support/ShellReset.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"
#include "transport/TransferSession.h"
#include "ui/feedback/FeedbackWindowController.h"
#include "ui/files/KZFileRowView.h"
#include "ui/transport/KZTransportViewController.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace nubo::test {

using namespace nubo::transfer;

void TransportTest::SetUp() {
    KZHomeToolbarController::registerWithRouter();
    svc.installAsShared();
    dbPath = svc.folder() + QStringLiteral("/user.db");
    createTransferProxies();
    KZBackgroundThread::shared().runAndWait([] {
        KZUploadMgr::shared().setRetryDelayMs(50);
        KZDownloadMgr::shared().setRetryDelayMs(50);
    });
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    settle();
    KZUploadMgrProxy::shareUploadMgrProxy()->setCommandWatcher(
        [this](const QString& c, const QString& p) { uploadCommands << (p.isEmpty() ? c : c + u' ' + p); });
    KZDownloadMgrProxy::shareDownloadMgrProxy()->setCommandWatcher(
        [this](const QString& c, const QString& p) { downloadCommands << (p.isEmpty() ? c : c + u' ' + p); });
    kit::workspace::setFileOpener([this](kit::workspace::FileAction a, const QString& p) {
        opened.append({a, p});
    });
}

void TransportTest::TearDown() {
    while (presentedAlert())
        answerAlert(QStringLiteral("取消"));
    qDeleteAll(windows);
    windows.clear();
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(std::nullopt);
    svc.service().clearFaults();
    signOutTransfers();
    settle();
    endTransfers(); // their command watchers go with the proxies
    kit::workspace::setFileOpener({});
    resetShell();
    drainEvents();
}

QStringList TransportTest::addUploadJobs(int count, qint64 size, const QString& prefix) {
    svc.mkdir(QStringLiteral("/up"));
    QList<TransferJobRecord> jobs;
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString name = prefix + QString::number(i);
        const QString disk = localPath(QStringLiteral("src/") + name);
        QDir().mkpath(QFileInfo(disk).path());
        QFile f(disk);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ServiceFixture::randomBytes(size, quint32(i + 1)));
        f.close();
        paths << QStringLiteral("/up/") + name;
        jobs << KZUploadMgr::makeJob(disk, paths.last(), size, false);
    }
    KZBackgroundThread::shared().runAndWait([&] { KZUploadMgr::shared().addJobs(jobs); });
    return paths;
}

void TransportTest::addUploadJobsOfOneFile(const QStringList& cloudPaths, qint64 size) {
    svc.mkdir(QStringLiteral("/up"));
    const QString disk = localPath(QStringLiteral("src/one"));
    QDir().mkpath(QFileInfo(disk).path());
    QFile f(disk);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(ServiceFixture::randomBytes(size, 7));
    f.close();
    QList<TransferJobRecord> jobs;
    for (const QString& path : cloudPaths)
        jobs << KZUploadMgr::makeJob(disk, path, size, false);
    KZBackgroundThread::shared().runAndWait([&] { KZUploadMgr::shared().addJobs(jobs); });
}

QStringList TransportTest::addDownloadJobs(int count, qint64 size, const QString& prefix) {
    QList<TransferJobRecord> jobs;
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString name = prefix + QString::number(i);
        const ServiceNode node =
            svc.putFile(QStringLiteral("/down/") + name, ServiceFixture::randomBytes(size, quint32(100 + i)));
        paths << localPath(name);
        jobs << KZDownloadMgr::makeJob(node, local.path(), paths.last(), false);
    }
    KZBackgroundThread::shared().runAndWait([&] { KZDownloadMgr::shared().addJobs(jobs); });
    return paths;
}

namespace {
int statusIn(TransferEngine& engine, const QString& path) {
    int status = 0;
    KZBackgroundThread::shared().runAndWait([&] {
        for (const auto& j : engine.jobs())
            if (j.rec.path == path)
                status = j.rec.status;
    });
    return status;
}
} // namespace

int TransportTest::uploadStatus(const QString& cloudPath) {
    return statusIn(KZUploadMgr::shared(), cloudPath);
}

int TransportTest::downloadStatus(const QString& localPath) {
    return statusIn(KZDownloadMgr::shared(), localPath);
}

bool TransportTest::waitUploads(const QStringList& paths, int status, int ms) {
    const bool ok = waitUntil(
        [&] {
            return std::all_of(paths.begin(), paths.end(),
                               [&](const QString& p) { return uploadStatus(p) == status; });
        },
        ms);
    settle();
    return ok;
}

bool TransportTest::waitDownloads(const QStringList& paths, int status, int ms) {
    const bool ok = waitUntil(
        [&] {
            return std::all_of(paths.begin(), paths.end(),
                               [&](const QString& p) { return downloadStatus(p) == status; });
        },
        ms);
    settle();
    return ok;
}

void TransportTest::settle() {
    for (int i = 0; i < 2; ++i) {
        KZBackgroundThread::shared().runAndWait([] {});
        drainEvents();
    }
}

QStringList TransportTest::takeUploadCommands() {
    return std::exchange(uploadCommands, {});
}

QStringList TransportTest::takeDownloadCommands() {
    return std::exchange(downloadCommands, {});
}

KZAlertController* TransportTest::presentedAlert() {
    const auto presented = KZWindowsManager::shareInstance().presentedWindowControllers();
    for (auto it = presented.rbegin(); it != presented.rend(); ++it)
        if (auto* a = qobject_cast<KZAlertController*>(*it))
            return a;
    return nullptr;
}

bool TransportTest::answerAlert(const QString& title) {
    KZAlertController* alert = presentedAlert();
    if (!alert)
        return false;
    for (KZButton* b : alert->buttons())
        if (b->title() == title) {
            b->sendAction();
            drainEvents();
            return true;
        }
    return false;
}

QString TransportTest::bottomBarMessage() {
    auto* bar = KZRouter::shareInstance().entityWithClass<KZHomeToolbarController>(
        KZHomeToolbarController::kClassName);
    return bar ? bar->rightMessage() : QString();
}

int TransportTest::openUploadsInService() {
    Query q = svc.service().database().query(QStringLiteral("SELECT COUNT(*) FROM uploads"));
    return q.next() ? int(q.int64(0)) : -1;
}

kit::Window* TransportTest::showInWindow(kit::View* view, QSizeF size) {
    auto* w = new kit::Window;
    w->setContentSize(size);
    w->contentView()->addSubview(view);
    view->setFrame(w->contentView()->bounds());
    w->show();
    windows << w;
    drainEvents();
    return w;
}

void TransportTest::clickAt(QWidget* view, const QPointF& point) {
    // The widget a real click there would reach: a child widget of the row, or the row itself.
    const QPoint p = point.toPoint();
    QWidget* child = view->childAt(p);
    QWidget* target = child ? child : view;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(view, p));
}

void TransportTest::clickRowCheckBox(kit::TableView* table, int row) {
    kit::TableRowView* rv = table->rowViewAtRow(row, false);
    ASSERT_TRUE(rv);
    // Every transfer row has its check box in the same place, drawn or as a widget.
    clickAt(rv, KZFileRowView::checkBoxRect(rv->bounds()).center());
}

void TransportPageTest::SetUp() {
    TransportTest::SetUp();
    KZTransportViewController::registerWithRouter();
    page = std::make_unique<KZTransportViewController>();
    window = showInWindow(page->view(), QSizeF(1000, 600));
    settle();
}

void TransportPageTest::TearDown() {
    for (FeedbackWindowController* feedback : shownFeedback())
        feedback->closeWindow();
    drainEvents();
    qDeleteAll(windows);
    windows.clear();
    page.reset();
    TransportTest::TearDown();
}

QList<FeedbackWindowController*> TransportPageTest::shownFeedback() {
    QList<FeedbackWindowController*> out;
    for (KZBaseWindowController* c : KZWindowsManager::shareInstance().shownWindowControllers())
        if (auto* f = qobject_cast<FeedbackWindowController*>(c))
            out.append(f);
    return out;
}

} // namespace nubo::test
