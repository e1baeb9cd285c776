#pragma once

#include "kit/AttributedString.h"
#include "kit/View.h"

#include <QFont>
#include <memory>
#include <vector>

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

// A drawn text label: plain or attributed text, one or more lines (0 = as many as fit),
// truncation at the head, middle or tail of the last line, and a size that fits.
class Label : public View {
    Q_OBJECT
public:
    explicit Label(QWidget* parent = nullptr);
    explicit Label(const QRectF& frame, QWidget* parent = nullptr);
    ~Label() override;

    QString text() const { return m_text.text(); }
    // Plain text in the label's font and colour (drops any runs).
    void setText(const QString& text);
    const AttributedString& attributedText() const { return m_text; }
    void setAttributedText(const AttributedString& text);

    QFont font() const { return m_font; }
    void setFont(const QFont& font);
    QColor textColor() const { return m_color; }
    void setTextColor(const QColor& color);
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment a);
    LineBreakMode lineBreakMode() const { return m_lineBreak; }
    void setLineBreakMode(LineBreakMode mode);
    int numberOfLines() const { return m_lines; }
    void setNumberOfLines(int lines);

    // The smallest size that shows the text within `size` (a zero or negative width means no limit).
    QSizeF sizeThatFits(const QSizeF& size) const;

    // The lines as they are drawn in `width` (after truncation); for tests and measuring.
    QStringList displayedLines(qreal width) const;

protected:
    void draw(QPainter& painter) override;

private:
    struct Line {
        QString text;
        int sourceStart = 0; // where the line starts in the full text
        int headLength = -1; // truncated lines: kept head, ellipsis, kept tail
        int tailLength = 0;
        qreal width = 0;
        qreal height = 0;
        qreal ascent = 0;
    };
    QList<Line> layoutLines(qreal width) const;
    // The text changed how it lays out: laid out again at the next draw.
    void textChanged();

    // The lines as draw lays them out, kept until the text, its looks or the width change, so
    // that repainting an unchanged label shapes no text.
    struct DrawnLine {
        std::unique_ptr<QTextLayout> layout;
        QPointF origin;
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
