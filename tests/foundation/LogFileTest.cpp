#include "foundation/LogFile.h"
#include "foundation/Log.h"
#include "support/Printers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace nubo;

Q_LOGGING_CATEGORY(lcOther, "other.part", QtInfoMsg)

namespace {

QStringList linesOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

int modeOf(const QString& path) {
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// What reached the handler that was there before the file log (the terminal, in Nubo).
struct Terminal {
    static Terminal& shared() {
        static Terminal t;
        return t;
    }
    static void capture(QtMsgType, const QMessageLogContext&, const QString& message) {
        std::lock_guard lock(shared().mutex);
        shared().messages.append(message);
    }
    QStringList taken() {
        std::lock_guard lock(mutex);
        return std::exchange(messages, {});
    }
    std::mutex mutex;
    QStringList messages;
};

} // namespace

class FileLog : public ::testing::Test {
protected:
    // Before any file log, so that the log hands its lines on to this one.
    static void SetUpTestSuite() {
        static const bool installed = [] {
            qInstallMessageHandler(Terminal::capture);
            return true;
        }();
        (void)installed;
    }
    void TearDown() override { log::stopFileLog(); }
    QString folder() const { return dir.path() + QStringLiteral("/data/log"); }
    QTemporaryDir dir;
};

TEST_F(FileLog, TakesNuboCategoriesFromInfoUpAndLeavesTheTerminalAsItWas) {
    log::startFileLog(folder());
    Terminal::shared().taken();
    QLoggingCategory* cloud = &const_cast<QLoggingCategory&>(lcCloud());
    cloud->setEnabled(QtDebugMsg, true);
    qCInfo(lcStorage, "storage opened %s", "system.db");
    qCWarning(lcService, "service refused\nforged line");
    qCDebug(lcCloud, "cloud detail");
    qCWarning(lcOther, "not ours");
    cloud->setEnabled(QtDebugMsg, false);
    ASSERT_TRUE(log::flushFileLog(5000));

    const QStringList lines = linesOf(folder() + QStringLiteral("/nubo.log"));
    ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("INFO nubo.storage: storage opened system.db")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("WARN nubo.service: service refused\\nforged line")))
        << lines[1].toStdString();
    // Every line still goes where it went before, debug and other categories too.
    EXPECT_EQ(Terminal::shared().taken(),
              QStringList(
                  {"storage opened system.db", "service refused\nforged line", "cloud detail", "not ours"}));

    EXPECT_EQ(modeOf(folder()), 0700);
    EXPECT_EQ(modeOf(folder() + QStringLiteral("/nubo.log")), 0600);
    EXPECT_EQ(log::fileLogFiles(), QStringList({folder() + QStringLiteral("/nubo.log")}));

    // Stopped, it writes no more and lists no files.
    log::stopFileLog();
    qCWarning(lcStorage, "after the end");
    EXPECT_EQ(linesOf(folder() + QStringLiteral("/nubo.log")).size(), 2);
    EXPECT_TRUE(log::fileLogFiles().isEmpty());
}

TEST_F(FileLog, AppendsAcrossStartsAndRollsAtTheLimitToExactlyOneBackup) {
    const auto line = [](int i) { return QByteArray::number(i).rightJustified(99, '.'); };
    {
        LogFile first(folder(), 1000);
        first.append(line(0));
    }
    {
        // 100 bytes a line with its newline: ten fit in a file.
        LogFile log(folder(), 1000);
        for (int i = 1; i < 35; ++i)
            log.append(line(i));
        ASSERT_TRUE(log.flush(5000));
        EXPECT_EQ(log.droppedLines(), 0);
        EXPECT_EQ(log.files(), QStringList({folder() + QStringLiteral("/nubo.log.1"),
                                            folder() + QStringLiteral("/nubo.log")}));
    }
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList({"nubo.log", "nubo.log.1"}));
    QStringList expectedBackup, expectedCurrent;
    for (int i = 20; i < 30; ++i)
        expectedBackup << QString::fromLatin1(line(i));
    for (int i = 30; i < 35; ++i)
        expectedCurrent << QString::fromLatin1(line(i));
    EXPECT_EQ(linesOf(folder() + QStringLiteral("/nubo.log.1")), expectedBackup);
    EXPECT_EQ(linesOf(folder() + QStringLiteral("/nubo.log")), expectedCurrent);

    // At its own size: 10 MB a file.
    const QString big = dir.path() + QStringLiteral("/big");
    {
        LogFile log(big);
        const QByteArray kilo(1023, 'k');
        for (int i = 0; i < 10 * 1024 + 1; ++i) {
            log.append(kilo);
            if (i % 256 == 0) {
                ASSERT_TRUE(log.flush(5000)); // within what may wait at once
            }
        }
        ASSERT_TRUE(log.flush(5000));
        EXPECT_EQ(log.droppedLines(), 0);
    }
    EXPECT_EQ(QFileInfo(big + QStringLiteral("/nubo.log.1")).size(), LogFile::kMaxFileBytes);
    EXPECT_EQ(QFileInfo(big + QStringLiteral("/nubo.log")).size(), 1024);
}

TEST_F(FileLog, AFolderThatCannotBeWrittenOrAFullDiskDropsLinesAndNuboGoesOn) {
    // "log" is a file, so the folder cannot be made.
    QFile blocker(dir.path() + QStringLiteral("/data/log"));
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/data")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    log::startFileLog(folder());
    Terminal::shared().taken();
    for (int i = 0; i < 10; ++i)
        qCWarning(lcTransfer, "nowhere to go %d", i);
    EXPECT_TRUE(log::flushFileLog(5000));
    EXPECT_TRUE(log::fileLogFiles().isEmpty());
    EXPECT_EQ(Terminal::shared().taken().size(), 10);

    // A disk with no room left: every write fails, each line is dropped and counted.
    const QString full = dir.path() + QStringLiteral("/full");
    ASSERT_TRUE(QDir().mkpath(full));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), full + QStringLiteral("/nubo.log")));
    const int deviceMode = modeOf(QStringLiteral("/dev/full"));
    {
        LogFile log(full, 1000);
        for (int i = 0; i < 20; ++i)
            log.append("no room");
        EXPECT_TRUE(log.flush(5000));
        EXPECT_EQ(log.droppedLines(), 20);
    }
    EXPECT_EQ(modeOf(QStringLiteral("/dev/full")), deviceMode); // only a file of its own is made private
}

TEST_F(FileLog, LinesFromSeveralThreadsAllArriveWhole) {
    log::startFileLog(folder());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                qCWarning(lcTransfer, "thread %d line %d", t, i);
        });
    for (std::thread& t : threads)
        t.join();
    ASSERT_TRUE(log::flushFileLog(5000));
    const QStringList lines = linesOf(folder() + QStringLiteral("/nubo.log"));
    ASSERT_EQ(lines.size(), 800);
    for (const QString& line : lines)
        EXPECT_TRUE(line.contains(QRegularExpression(QStringLiteral("nubo.transfer: thread \\d line \\d+$"))))
            << line.toStdString();
    Terminal::shared().taken();
}
