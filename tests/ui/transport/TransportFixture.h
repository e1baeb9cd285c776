#pragma once

#include "kit/OpenPanel.h"
#include "support/CloudPrinters.h"
#include "support/EventLoop.h"
#include "support/ServiceFixture.h"
#include "transport/KZDownloadMgrProxy.h"
#include "transport/KZUploadMgrProxy.h"

#include <QSizeF>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class FeedbackWindowController;
class KZAlertController;
class KZTransportViewController;
namespace kit {
class TableView;
class View;
class Window;
} // namespace kit

namespace nubo::test {

// The transfer engines signed in to a real embedded service on a temporary folder, every job
// command the pages send recorded ("pause /up/a", "pauseAll"), and the desktop's file manager
// replaced by a record of what it was asked to show.
class TransportTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Upload jobs of local files of `size` bytes into "/up", straight through the engine; their
    // cloud paths in order.
    QStringList addUploadJobs(int count, qint64 size, const QString& prefix = QStringLiteral("f"));
    // Upload jobs of one local file of `size` bytes, one to each cloud path (in "/up").
    void addUploadJobsOfOneFile(const QStringList& cloudPaths, qint64 size);
    // Download jobs of cloud files of `size` bytes into the local folder; their local paths.
    QStringList addDownloadJobs(int count, qint64 size, const QString& prefix = QStringLiteral("d"));
    QString localPath(const QString& name) const { return local.path() + QLatin1Char('/') + name; }

    // Engine status of a job (0 when the engine has no such job).
    static int uploadStatus(const QString& cloudPath);
    static int downloadStatus(const QString& localPath);
    // Waits until every named job is in `status`.
    bool waitUploads(const QStringList& paths, int status, int ms = 15000);
    bool waitDownloads(const QStringList& paths, int status, int ms = 15000);
    // Lets the engine's reports reach the main thread.
    static void settle();

    // The commands sent to each proxy since the last call, then forgets them.
    QStringList takeUploadCommands();
    QStringList takeDownloadCommands();

    // The alert presented last and not yet answered, or null.
    static KZAlertController* presentedAlert();
    // Presses the button titled `title` of the presented alert; false when there is none.
    static bool answerAlert(const QString& title);

    // The right-area text of the home window's bottom bar.
    static QString bottomBarMessage();
    // Uploads still open (begun, not committed) in the service.
    int openUploadsInService();

    // A window showing `view` at the given size.
    kit::Window* showInWindow(kit::View* view, QSizeF size = QSizeF(900, 560));
    // Clicks the check box of a displayed row, as the user does.
    static void clickRowCheckBox(kit::TableView* table, int row);
    // A left click at `point` of `view`, delivered where a real one would be.
    static void clickAt(QWidget* view, const QPointF& point);

    ServiceFixture svc;
    QTemporaryDir local;
    QString dbPath;
    QStringList uploadCommands, downloadCommands;
    QList<QPair<kit::workspace::FileAction, QString>> opened;
    QList<kit::Window*> windows;
};

// The transfer page in a window on top of TransportTest; its feedback windows close afterwards.
class TransportPageTest : public TransportTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The feedback windows on screen.
    static QList<FeedbackWindowController*> shownFeedback();

    std::unique_ptr<KZTransportViewController> page;
    kit::Window* window = nullptr;
};

} // namespace nubo::test
