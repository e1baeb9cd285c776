#include "kit/Pasteboard.h"
#include "kit/View.h"

#include <QGraphicsDropShadowEffect>
#include <QGraphicsOpacityEffect>
#include <gtest/gtest.h>

TEST(PasteboardText, WritesReportWhetherTheyTook) {
    kit::Pasteboard& pb = kit::Pasteboard::general();
    EXPECT_TRUE(pb.setString(QStringLiteral("https://example.invalid/s/abc (提取码:x1y2)")));
    EXPECT_EQ(pb.string(), QStringLiteral("https://example.invalid/s/abc (提取码:x1y2)"));
    pb.setRefusesWritesForTesting(true);
    EXPECT_FALSE(pb.setString(QStringLiteral("other")));
    EXPECT_EQ(pb.string(), QStringLiteral("https://example.invalid/s/abc (提取码:x1y2)"));
    pb.setRefusesWritesForTesting(false);
}

TEST(ViewShadow, ShadowSurvivesFadingAndCanBeRemoved) {
    kit::View view;
    view.setShadow(QColor(0, 0, 0, 20), QPointF(0, 4), 8);
    ASSERT_TRUE(view.hasShadow());
    auto* effect = qobject_cast<QGraphicsDropShadowEffect*>(view.graphicsEffect());
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->offset(), QPointF(0, 4));
    view.setAlphaValue(0.5); // a fade keeps the shadow
    EXPECT_TRUE(view.hasShadow());
    EXPECT_EQ(view.alphaValue(), 0.5);
    view.setShadow(QColor(), {}, 0);
    EXPECT_FALSE(view.hasShadow());
    EXPECT_NE(qobject_cast<QGraphicsOpacityEffect*>(view.graphicsEffect()), nullptr); // still half faded
}
