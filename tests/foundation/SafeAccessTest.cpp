#include "foundation/SafeAccess.h"

#include <QElapsedTimer>
#include <cmath>
#include <gtest/gtest.h>

using namespace nubo;

TEST(SafeAccess, TextReadsItsLeadingNumber) {
    EXPECT_DOUBLE_EQ(safe::toDouble(QStringLiteral(" 12abc")), 12);
    EXPECT_DOUBLE_EQ(safe::toDouble(QStringLiteral("-3.5e2x")), -350);
    EXPECT_DOUBLE_EQ(safe::toDouble(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(safe::toDouble(QStringLiteral("5.")), 5);
    EXPECT_DOUBLE_EQ(safe::toDouble(QStringLiteral("7e")), 7);
    EXPECT_DOUBLE_EQ(safe::toDouble(QStringLiteral("1.5.2")), 1.5);
    EXPECT_DOUBLE_EQ(safe::toDouble(QStringLiteral("e5")), 0);
    EXPECT_DOUBLE_EQ(safe::toDouble(QStringLiteral("--1")), 0);
    EXPECT_DOUBLE_EQ(safe::toDouble(QStringLiteral("1e999")), 0); // not a finite number
    EXPECT_EQ(safe::toInt64(QStringLiteral("42")), 42);
    EXPECT_EQ(safe::toInt64(QStringLiteral("42.9 MB")), 42);
    EXPECT_EQ(safe::toInt64(QVariantList{1}, 9), 9);
}

TEST(SafeAccess, LongTextFromTheServiceIsReadQuickly) {
    // Each of these once took time that grew with the square of the length.
    const QString texts[] = {QString(200'000, u'-'), QString(200'000, u'9'),
                             QStringLiteral("1") + QString(200'000, u'e')};
    QElapsedTimer timer;
    timer.start();
    for (const QString& t : texts) {
        EXPECT_TRUE(std::isfinite(safe::toDouble(t)));
        safe::toInt64(t);
    }
    EXPECT_EQ(safe::toInt64(texts[0]), 0);
    EXPECT_EQ(safe::toInt64(texts[2]), 1);
    EXPECT_LT(timer.elapsed(), 2000);
}
