#include "foundation/DisplayText.h"
#include "foundation/NetworkMonitor.h"
#include "foundation/NotificationCenter.h"

#include "support/Printers.h"

#include <QTimeZone>
#include <gtest/gtest.h>

using namespace nubo::text;

TEST(DisplayText, SizesAtTheirUnitBoundaries) {
    EXPECT_EQ(convertSizeToReadable(0), u"0B");
    EXPECT_EQ(convertSizeToReadable(1023), u"1023B");
    EXPECT_EQ(convertSizeToReadable(1024), u"1K");
    EXPECT_EQ(convertSizeToReadable(1536), u"1.5K");
    EXPECT_EQ(convertSizeToReadable(1048575), u"1024.0K"); // 1023.999.. keeps its decimal
    EXPECT_EQ(convertSizeToReadable(1048576), u"1M");
    EXPECT_EQ(convertSizeToReadable(1073741823), u"1G"); // a float cannot hold it below 2^30
    EXPECT_EQ(convertSizeToReadable(1073741824), u"1G");
    EXPECT_EQ(convertSizeToReadable(5ULL * 1073741824 + 1073741824 / 2), u"5.5G");
    EXPECT_EQ(convertSizeToReadable(std::numeric_limits<quint64>::max()), u"17179869184G");
    EXPECT_EQ(getFormatString(2.04f, QStringLiteral("M")), u"2M");
    EXPECT_EQ(getFormatString(2.34f, QStringLiteral("K")), u"2.3K");
}

TEST(DisplayText, DurationsPadHoursAndMinutesAndGrowPastADay) {
    EXPECT_EQ(formatedTime(0), u"00:00:00");
    EXPECT_EQ(formatedTime(-5), u"00:00:00");
    EXPECT_EQ(formatedTime(std::nan("")), u"00:00:00");
    EXPECT_EQ(formatedTime(59.9), u"00:00:59");
    EXPECT_EQ(formatedTime(3661), u"01:01:01");
    EXPECT_EQ(formatedTime(36000 + 600), u"10:10:00");
    EXPECT_EQ(formatedTime(360000), u"100:00:00");
    EXPECT_FALSE(formatedTime(1e300).isEmpty());
}

TEST(DisplayText, DatesAreLocalAndUnsetTimesShowADash) {
    EXPECT_EQ(getReadableTimeInterval(0), u"-");
    EXPECT_EQ(getReadableTimeInterval(-1), u"-");
    EXPECT_EQ(getReadableTimeInterval(1e30), u"-");
    const QDateTime local(QDate(2024, 3, 5), QTime(7, 8, 9), QTimeZone::systemTimeZone());
    EXPECT_EQ(getReadableTimeInterval(double(local.toSecsSinceEpoch())), u"2024-3-5 07:08");
    EXPECT_EQ(stringFromDateTime(local), u"2024-03-05 07:08:09");
}

TEST(DisplayText, PathsNameTheRootAllFiles) {
    EXPECT_EQ(getReadableFileName(QStringLiteral("/")), u"全部文件");
    EXPECT_EQ(getReadableFileName(QString()), u"全部文件");
    EXPECT_EQ(getReadableFileName(QStringLiteral("/a/报告.txt")), u"报告.txt");
    EXPECT_EQ(getReadableFileName(QStringLiteral("/a/b/")), u"b");
    EXPECT_EQ(fixedRootPath(QStringLiteral("/")), u"全部文件");
    EXPECT_EQ(fixedRootPath(QStringLiteral("/x/y")), u"y");
    EXPECT_EQ(pathExtension(QStringLiteral("/a.b/Photo.JPG")), u"jpg");
    EXPECT_EQ(pathExtension(QStringLiteral("/a.b/.hidden")), u"");
    EXPECT_EQ(pathExtension(QStringLiteral("/a.b/noext")), u"");
}

TEST(DisplayText, SafeDoubleValueReadsAnyJsonValue) {
    EXPECT_DOUBLE_EQ(safeDoubleValue(QStringLiteral("12.5")), 12.5);
    EXPECT_DOUBLE_EQ(safeDoubleValue(QStringLiteral("abc")), 0.0);
    EXPECT_DOUBLE_EQ(safeDoubleValue(42), 42.0);
    EXPECT_DOUBLE_EQ(safeDoubleValue(QVariant()), 0.0);
    EXPECT_DOUBLE_EQ(safeDoubleValue(QVariant::fromValue(nullptr)), 0.0);
    EXPECT_DOUBLE_EQ(safeDoubleValue(QVariantMap{{QStringLiteral("a"), 1}}), 0.0);
    EXPECT_DOUBLE_EQ(safeDoubleValue(QVariantList{1, 2}), 0.0);
}

TEST(DisplayText, TypeDescriptionsFallBackToDocument) {
    EXPECT_EQ(fileTypeDescription(false, QStringLiteral("/a/file.zzqqxx")), u"文稿");
    EXPECT_EQ(fileTypeDescription(false, QStringLiteral("/a/noextension")), u"文稿");
    EXPECT_NE(fileTypeDescription(false, QStringLiteral("/a/b.PNG")), u"文稿");
    EXPECT_FALSE(fileTypeDescription(true, QStringLiteral("/a")).isEmpty());
}

namespace {
class NetworkObserver : public QObject, public NetworkMonitorObserver {
public:
    QList<bool> seen;
    void networkMonitorDidChangeStatus(bool paused) override { seen.append(paused); }
};
} // namespace

TEST(NetworkMonitorTest, ForcedStateIsAnnouncedOncePerChange) {
    NetworkMonitor* monitor = NetworkMonitor::getInstance();
    auto* weakOne = new NetworkObserver;
    monitor->addObserver(weakOne);
    delete weakOne; // held weakly: never called once gone
    NetworkObserver direct;
    monitor->addObserver(&direct);
    QObject observer;
    QList<bool> seen;
    nubo::NotificationCenter::defaultCenter().addObserver(
        &observer, NetworkMonitor::kNetworkReachabilityChangedNotification, [&](const nubo::Notification& n) {
            seen.append(n.userInfo.value(QStringLiteral("paused")).toBool());
        });
    monitor->setNetworkPausedForTesting(false);
    seen.clear();
    monitor->setNetworkPausedForTesting(true);
    monitor->setNetworkPausedForTesting(true);
    EXPECT_TRUE(monitor->isNetworkPaused());
    monitor->setNetworkPausedForTesting(false);
    EXPECT_FALSE(monitor->isNetworkPaused());
    EXPECT_EQ(seen, (QList<bool>{true, false}));
    EXPECT_EQ(direct.seen.mid(direct.seen.size() - 2), (QList<bool>{true, false}));
    monitor->removeObserver(&direct);
    monitor->setNetworkPausedForTesting(std::nullopt);
}
