#pragma once

#include "kit/AttributedString.h"

#include <QFont>
#include <QPointF>
#include <memory>
#include <vector>

class QPainter;
class QTextLayout;

namespace kit {

enum class TextAlignment { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };
enum class LineBreakMode {
    WordWrap = 0,
    CharWrap = 1,
    Clip = 2,
    TruncateHead = 3,
    TruncateTail = 4,
    TruncateMiddle = 5
};

// Text laid out and drawn the way a label draws it: plain or attributed, one or more lines
// (0 = as many as fit), truncation at the head, middle or tail of the last line. A label holds
// one; a view that draws many texts itself (the rows of a long list) holds one per text and
// shows them exactly as labels would, without a widget each. The laid-out lines are kept until
// the text, its looks or the width change, so drawing an unchanged text shapes nothing.
class DrawnText {
public:
    DrawnText();
    ~DrawnText();
    DrawnText(DrawnText&&) noexcept;
    DrawnText& operator=(DrawnText&&) noexcept;

    // Each setter answers whether what is drawn changed.
    const AttributedString& text() const { return m_text; }
    bool setText(const AttributedString& text);
    QFont font() const { return m_font; }
    bool setFont(const QFont& font);
    QColor color() const { return m_color; }
    bool setColor(const QColor& color);
    TextAlignment alignment() const { return m_alignment; }
    bool setAlignment(TextAlignment a);
    LineBreakMode lineBreakMode() const { return m_lineBreak; }
    bool setLineBreakMode(LineBreakMode mode);
    int numberOfLines() const { return m_lines; }
    bool setNumberOfLines(int lines);

    // The smallest size that shows the text within `size` (a zero or negative width means no limit).
    QSizeF sizeThatFits(const QSizeF& size) const;
    // The lines as they are drawn in `width` (after truncation).
    QStringList displayedLines(qreal width) const;
    // Whether some of the text does not show in `width`: cut with an ellipsis, lines left out,
    // or a line wider than the width.
    bool isTruncated(qreal width) const;

    // Draws the lines from the top of `rect`, aligned in its width; nothing shows outside it.
    // `clipped` says the painter already clips to `rect`.
    void draw(QPainter& painter, const QRectF& rect, bool clipped = false);

private:
    struct Line {
        QString text;
        int sourceStart = 0; // where the line starts in the full text
        int headLength = -1; // truncated lines: kept head, ellipsis, kept tail
        int tailLength = 0;
        qreal width = 0;
        qreal height = 0;
    };
    QList<Line> layoutLines(qreal width) const;
    void layOut(qreal width);
    void changed() { m_drawnWidth = -1; }

    struct DrawnLine {
        std::unique_ptr<QTextLayout> layout;
        QPointF origin;
        qreal width = 0;
        qreal height = 0;
    };
    std::vector<DrawnLine> m_drawn;
    qreal m_drawnWidth = -1; // -1: to be laid out

    AttributedString m_text;
    QFont m_font;
    QColor m_color = Qt::black;
    TextAlignment m_alignment = TextAlignment::Natural;
    LineBreakMode m_lineBreak = LineBreakMode::TruncateTail;
    int m_lines = 1;
};

} // namespace kit
