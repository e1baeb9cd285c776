#pragma once

#include "kit/DrawnText.h"
#include "kit/View.h"

namespace kit {

// A drawn text label: plain or attributed text, one or more lines (0 = as many as fit),
// truncation at the head, middle or tail of the last line, and a size that fits.
class Label : public View {
    Q_OBJECT
public:
    explicit Label(QWidget* parent = nullptr);
    explicit Label(const QRectF& frame, QWidget* parent = nullptr);
    ~Label() override;

    QString text() const { return m_text.text().text(); }
    // Plain text in the label's font and colour (drops any runs).
    void setText(const QString& text);
    const AttributedString& attributedText() const { return m_text.text(); }
    void setAttributedText(const AttributedString& text);

    QFont font() const { return m_text.font(); }
    void setFont(const QFont& font);
    QColor textColor() const { return m_text.color(); }
    void setTextColor(const QColor& color);
    TextAlignment textAlignment() const { return m_text.alignment(); }
    void setTextAlignment(TextAlignment a);
    LineBreakMode lineBreakMode() const { return m_text.lineBreakMode(); }
    void setLineBreakMode(LineBreakMode mode);
    int numberOfLines() const { return m_text.numberOfLines(); }
    void setNumberOfLines(int lines);

    // The smallest size that shows the text within `size` (a zero or negative width means no limit).
    QSizeF sizeThatFits(const QSizeF& size) const { return m_text.sizeThatFits(size); }

    // The lines as they are drawn in `width` (after truncation); for tests and measuring.
    QStringList displayedLines(qreal width) const { return m_text.displayedLines(width); }
    // Whether the text does not show whole in the label's width.
    bool isTruncated() const { return m_text.isTruncated(width()); }

    // When on, the pointer resting on the label shows its whole text in a tooltip while the
    // text does not show whole (a long error in a narrow column).
    void setShowsFullTextInToolTip(bool on) { m_fullTextToolTip = on; }
    // The text that tooltip shows now: the whole text while it is cut, else nothing.
    QString fullTextToolTip() const;

protected:
    void draw(QPainter& painter) override;
    bool event(QEvent* event) override;

private:
    DrawnText m_text;
    bool m_fullTextToolTip = false;
};

} // namespace kit
