#include "shell/KZLabel.h"
#include "ui/files/KZFilesToolBar.h"
#include "ui/files/KZFilesToolBarLayout.h"

#include <QObject>
#include <gtest/gtest.h>

namespace {

kit::Event at(kit::View* v, QPointF p, kit::Event::Type type) {
    return kit::Event(type, v->convertToWindow(p));
}

struct ToolBarFixture : ::testing::Test {
    QObject target;
    QList<QString> fired;
    KZFilesToolBarItemPtr make(const QString& title) {
        return KZFilesToolBarItem::toolBarItemWithTitle(
            title, QStringLiteral("files_upload"), false, &target,
            [this, title](KZFilesToolBarItemView*) { fired.append(title); });
    }
};

} // namespace

TEST_F(ToolBarFixture, GroupsAreIndexedAndPlacedFromBothEdges) {
    KZFilesToolBar bar;
    bar.setFrame(QRectF(0, 0, 800, 40));
    auto a = make(QStringLiteral("上传")), b = make(QStringLiteral("新建")), s = make(QStringLiteral("排序"));
    bar.setLeftItems({a, b});
    bar.setRightItems({s});
    EXPECT_EQ(a->index(), 0u);
    EXPECT_EQ(b->index(), 1u);
    EXPECT_EQ(s->alignment(), 1u);

    auto* va = bar.leftItemViews().at(0);
    auto* vb = bar.leftItemViews().at(1);
    auto* vs = bar.rightItemViews().at(0);
    EXPECT_DOUBLE_EQ(va->frame().left(), 0);
    EXPECT_DOUBLE_EQ(vb->frame().left(), va->frame().right() + 24);
    EXPECT_DOUBLE_EQ(vs->frame().right(), 800);
    EXPECT_DOUBLE_EQ(va->frame().center().y(), 20);

    // Each title's line sits on the middle of the bar, level with its icon.
    bar.show();
    for (KZFilesToolBarItemView* v : {va, vb, vs}) {
        const KZLabel* title = v->titleLabel();
        const double line = title->sizeThatFits(QSizeF(title->width(), 0)).height();
        EXPECT_NEAR(title->frame().top() + line / 2, v->height() / 2, 0.5);
    }
}

TEST(ToolBarLayout, EdgesOfBothGroups) {
    EXPECT_EQ(KZFilesToolBarLayout::leftEdges({60, 80}), (QList<double>{0, 84}));
    EXPECT_EQ(KZFilesToolBarLayout::rightGroupEdges({60, 80}, 500), (QList<double>{440, 336}));
}

TEST_F(ToolBarFixture, WidthIsMeasuredOnce) {
    auto item = make(QStringLiteral("上传"));
    KZFilesToolBarItemView v(item);
    const double w = v.suggestWidth();
    EXPECT_GT(w, 20);
    item->setTitle(QStringLiteral("a much longer title than before"));
    EXPECT_DOUBLE_EQ(v.suggestWidth(), w);
}

TEST_F(ToolBarFixture, PressRunsTheActionOnceOnReleaseInsideAnEnabledView) {
    KZFilesToolBar bar;
    bar.setFrame(QRectF(0, 0, 800, 40));
    auto item = make(QStringLiteral("下载"));
    bar.setLeftItems({item});
    auto* v = bar.leftItemViews().first();
    const QPointF inside(5, 5), outside(v->width() + 50, 5);

    v->mouseDown(at(v, inside, kit::Event::Type::MouseDown));
    EXPECT_TRUE(fired.isEmpty());
    v->mouseUp(at(v, inside, kit::Event::Type::MouseUp));
    EXPECT_EQ(fired.size(), 1);

    v->mouseDown(at(v, inside, kit::Event::Type::MouseDown));
    v->mouseUp(at(v, outside, kit::Event::Type::MouseUp));
    EXPECT_EQ(fired.size(), 1);

    bar.setEnable(false, item);
    EXPECT_DOUBLE_EQ(v->alphaValue(), 0.5);
    v->mouseDown(at(v, inside, kit::Event::Type::MouseDown));
    v->mouseUp(at(v, inside, kit::Event::Type::MouseUp));
    EXPECT_EQ(fired.size(), 1);
    bar.setEnable(true, item);
    EXPECT_DOUBLE_EQ(v->alphaValue(), 1.0);
}

TEST_F(ToolBarFixture, EnableIgnoresItemsThatAreNotInTheBar) {
    KZFilesToolBar bar;
    bar.setLeftItems({make(QStringLiteral("a"))});
    auto stranger = make(QStringLiteral("b"));
    KZFilesToolBar other;
    other.setLeftItems({make(QStringLiteral("x")), stranger}); // index 1: past the first bar's items
    bar.setEnable(false, stranger);
    EXPECT_DOUBLE_EQ(bar.leftItemViews().first()->alphaValue(), 1.0);
}
