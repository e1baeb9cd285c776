// Rows dragged out to a file manager: fetched whole into a fresh private staging folder, after
// the stagings no file manager can still be copying from are removed.
#include "FileOpsFixture.h"

#include "kit/Drag.h"
#include "transport/KZDownloadMgrProxy.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTest>

using namespace nubo::test;

namespace {

class DragOut : public FileOpsTest {
protected:
    void TearDown() override {
        kit::drag::setRunnerForTesting({});
        FileOpsTest::TearDown();
    }
    // Drags the row out to a file manager that reads the files as the pointer passes over it and
    // then does what `outcome` says; answers the staged paths it was offered.
    QStringList dragOut(const QString& name, Qt::DropAction outcome) {
        QStringList offered;
        kit::drag::setRunnerForTesting([&](QWidget*, QMimeData* mime, Qt::DropActions) {
            for (const QUrl& u : mime->urls())
                offered.append(u.toLocalFile());
            kit::DragResult r;
            r.action = outcome;
            r.releasedOutsideNubo = r.releasedOverAnotherWindow = true;
            return r;
        });
        const int at = int(page->files().indexOf(row(name)));
        QWidget* rv = page->tableView()->rowViewAtRow(at, false);
        EXPECT_NE(rv, nullptr);
        if (rv) {
            const QPoint p(300, rv->height() / 2);
            QTest::mousePress(rv, Qt::LeftButton, {}, p);
            QTest::mouseMove(rv, p + QPoint(40, 3));
            QTest::mouseRelease(rv, Qt::LeftButton, {}, p + QPoint(40, 3));
        }
        return offered;
    }
    static QStringList recordsUnder(const QString& folder) {
        QStringList out;
        for (const auto& job : KZDownloadMgrProxy::shareDownloadMgrProxy()->finishedDownloadJobOpenInfos())
            if (job->m_path.startsWith(folder + QLatin1Char('/')))
                out.append(job->m_path);
        return out;
    }
};

TEST_F(DragOut, RowsAreStagedWholeInAFreshPrivateFolderAndOldStagingsGo) {
    const QString root = KZFilesViewController::dragOutStagingRoot();
    const QString old = root + QStringLiteral("/1000");
    const QString recent =
        root + QLatin1Char('/') + QString::number(QDateTime::currentMSecsSinceEpoch() - 60 * 1000);
    ASSERT_TRUE(QDir().mkpath(old));
    ASSERT_TRUE(QDir().mkpath(recent));

    jump(QStringLiteral("/three"));
    const QStringList staged =
        page->filesForDragOut({row(QStringLiteral("a.txt")), row(QStringLiteral("sub"))}, 20000);
    ASSERT_EQ(staged.size(), 2);
    QFile a(staged[0]);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), QByteArray("a"));
    EXPECT_EQ(QFileInfo(staged[0]).fileName(), QStringLiteral("a.txt"));
    EXPECT_TRUE(QFileInfo(staged[1]).isDir());
    const QString staging = QFileInfo(staged[0]).absolutePath();
    EXPECT_EQ(QFileInfo(staging).absolutePath(), QFileInfo(root).absoluteFilePath());
    EXPECT_NE(staging, QFileInfo(recent).absoluteFilePath());
    // Nothing but the files themselves is left for the file manager to copy.
    QDirIterator work(staging, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    QStringList entries;
    while (work.hasNext())
        entries.append(QFileInfo(work.next()).fileName());
    entries.sort();
    EXPECT_EQ(entries, QStringList({QStringLiteral("a.txt"), QStringLiteral("sub")}));

    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_TRUE(QFileInfo::exists(recent));
    EXPECT_EQ(QFile::permissions(root) & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
              QFile::Permissions());
}

// A drop the file manager did not take (the drag was cancelled over it, or its user answered
// "cancel" to its copy-or-move question) leaves nothing: no finished record, no staged files, no
// "已加入下载列表". One it took shows as a download.
TEST_F(DragOut, ADropTheTargetDidNotTakeLeavesNothingBehind) {
    jump(QStringLiteral("/three"));
    for (const bool cancelledOverTarget : {true, false}) {
        const QStringList offered =
            dragOut(QStringLiteral("b.txt"), cancelledOverTarget ? Qt::IgnoreAction : Qt::CopyAction);
        ASSERT_EQ(offered.size(), 1);
        const QString staging = QFileInfo(offered.first()).absolutePath();
        if (!cancelledOverTarget) {
            // The file manager asked its question; the user's "cancel" comes afterwards.
            EXPECT_EQ(page->pendingDragOutStaging(), staging);
            EXPECT_EQ(recordsUnder(staging).size(), 1);
            kit::drag::dropTargetFinished(false);
        }
        EXPECT_TRUE(page->pendingDragOutStaging().isEmpty());
        EXPECT_TRUE(waitUntil([&] { return recordsUnder(staging).isEmpty() && !QFileInfo::exists(staging); }))
            << cancelledOverTarget;
        drainEvents();
        EXPECT_FALSE(toasts->texts().contains(QStringLiteral("已加入下载列表"))) << cancelledOverTarget;
    }

    const QStringList offered = dragOut(QStringLiteral("b.txt"), Qt::CopyAction);
    ASSERT_EQ(offered.size(), 1);
    EXPECT_FALSE(toasts->texts().contains(QStringLiteral("已加入下载列表")));
    kit::drag::dropTargetFinished(true);
    EXPECT_TRUE(waitForToast(QStringLiteral("已加入下载列表")));
    EXPECT_EQ(recordsUnder(QFileInfo(offered.first()).absolutePath()).size(), 1);
    EXPECT_TRUE(QFileInfo::exists(offered.first()));
}

} // namespace
