#include "kit/Label.h"

#include <QImage>
#include <gtest/gtest.h>

using kit::AttributedString;
using kit::Label;

namespace {
QImage drawn(Label& label) {
    return label.grab().toImage();
}
} // namespace

// A label keeps its laid-out lines between paints; every change of what it shows or of its width
// must still reach the screen.
TEST(Label, RedrawsEveryChangeOfTextLooksAndWidth) {
    Label label;
    label.resize(200, 20);
    label.setText(QStringLiteral("first text"));
    const QImage first = drawn(label);
    EXPECT_EQ(drawn(label), first); // drawn again from what was kept

    label.setText(QStringLiteral("second text"));
    const QImage second = drawn(label);
    EXPECT_NE(second, first);
    label.setText(QStringLiteral("first text"));
    EXPECT_EQ(drawn(label), first);

    QFont big = label.font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    label.setFont(big);
    EXPECT_NE(drawn(label), first);
    label.setFont(QFont());
    label.setTextColor(Qt::red);
    EXPECT_NE(drawn(label), first);
    label.setTextColor(Qt::black);
    label.setTextAlignment(kit::TextAlignment::Right);
    EXPECT_NE(drawn(label), first);
    label.setTextAlignment(kit::TextAlignment::Natural);

    // Same text, one word coloured: the runs are part of what is drawn.
    AttributedString coloured(QStringLiteral("first text"));
    coloured.setColor(Qt::blue, 0, 5);
    label.setAttributedText(coloured);
    EXPECT_NE(drawn(label), first);

    // A narrower label truncates the same text differently.
    label.setText(QStringLiteral("a rather long line that cannot fit"));
    const QImage wide = drawn(label);
    label.resize(60, 20);
    const QImage narrow = drawn(label);
    EXPECT_NE(narrow.copy(0, 0, 60, 20), wide.copy(0, 0, 60, 20));
    EXPECT_TRUE(label.displayedLines(60).value(0).endsWith(QChar(0x2026)));
}

// A label knows when its text does not show whole: cut with an ellipsis, lines left out, or a
// clipped line; a wrapped text that shows in all its lines is whole.
TEST(Label, KnowsWhenItsTextDoesNotShowWhole) {
    Label label;
    label.resize(120, 40);
    label.setText(QStringLiteral("short"));
    EXPECT_FALSE(label.isTruncated());
    const QString longText = QStringLiteral("https://share.example.invalid/s/0123456789abcdefghij");
    label.setText(longText);
    EXPECT_TRUE(label.isTruncated());
    label.setLineBreakMode(kit::LineBreakMode::Clip);
    EXPECT_TRUE(label.isTruncated());

    label.setLineBreakMode(kit::LineBreakMode::CharWrap);
    label.setNumberOfLines(0);
    EXPECT_FALSE(label.isTruncated());
    EXPECT_EQ(label.displayedLines(label.width()).join(QString()), longText);
    label.setNumberOfLines(1);
    EXPECT_TRUE(label.isTruncated());
    EXPECT_TRUE(label.fullTextToolTip().isEmpty()); // only when asked for
    label.setShowsFullTextInToolTip(true);
    EXPECT_EQ(label.fullTextToolTip(), longText);
}
