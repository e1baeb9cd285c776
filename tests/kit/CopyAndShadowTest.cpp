#include "kit/Pasteboard.h"
#include "kit/View.h"
#include "kit/Window.h"
#include "support/EventLoop.h"

#include <QGraphicsDropShadowEffect>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
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

TEST(ViewBackground, OnlyPlainOpaqueBackgroundsHideWhatLiesBeneath) {
    // The window's content is red; white views over it, some of which let it show through.
    kit::Window window;
    window.setContentSize(QSizeF(240, 60));
    window.contentView()->setCustomBackgroundColor(Qt::red);
    const auto addView = [&](int x, const QColor& color) {
        auto* v = new kit::View;
        window.contentView()->addSubview(v);
        v->setFrame(QRectF(x, 0, 50, 50));
        v->setCustomBackgroundColor(color);
        return v;
    };
    kit::View* plain = addView(0, Qt::white);
    kit::View* rounded = addView(60, Qt::white);
    rounded->setCornerRadius(12);
    kit::View* glassy = addView(120, QColor(255, 255, 255, 128));
    kit::View* bordered = addView(180, Qt::white);
    bordered->setBorderColor(QColor(0, 0, 255, 100));
    bordered->setBorderWidth(4);
    EXPECT_TRUE(plain->testAttribute(Qt::WA_OpaquePaintEvent));
    for (const kit::View* v : {rounded, glassy, bordered})
        EXPECT_FALSE(v->testAttribute(Qt::WA_OpaquePaintEvent));
    window.show();
    ASSERT_TRUE(
        nubo::test::waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    const auto shot = [&] {
        window.repaint();
        return QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
    };
    QImage image = shot();
    EXPECT_EQ(image.pixelColor(25, 25), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(49, 49), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(61, 1), QColor(Qt::red)); // outside the rounded corner
    const QColor blended = image.pixelColor(145, 25);    // half white over red
    EXPECT_EQ(blended.red(), 255);
    EXPECT_NEAR(blended.green(), 128, 2);
    EXPECT_EQ(image.pixelColor(55, 25), QColor(Qt::red)); // between the views
    // A view that stops being opaque shows what is beneath it again.
    plain->setCustomBackgroundColor(QColor());
    EXPECT_FALSE(plain->testAttribute(Qt::WA_OpaquePaintEvent));
    image = shot();
    EXPECT_EQ(image.pixelColor(25, 25), QColor(Qt::red));
}
