#include "kit/Label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace kit {

Label::Label(QWidget* parent) : View(parent) {}

Label::Label(const QRectF& frame, QWidget* parent) : View(frame, parent) {}

Label::~Label() = default;

// Setting what a label already shows changes nothing: rows that are bound again to the same
// record keep their laid-out text and are not repainted.
void Label::setText(const QString& text) {
    setAttributedText(AttributedString(text));
}

void Label::setAttributedText(const AttributedString& text) {
    if (m_text.setText(text))
        update();
}

void Label::setFont(const QFont& font) {
    if (m_text.setFont(font))
        update();
}

void Label::setTextColor(const QColor& color) {
    if (m_text.setColor(color))
        update();
}

void Label::setTextAlignment(TextAlignment a) {
    if (m_text.setAlignment(a))
        update();
}

void Label::setLineBreakMode(LineBreakMode mode) {
    if (m_text.setLineBreakMode(mode))
        update();
}

void Label::setNumberOfLines(int lines) {
    if (m_text.setNumberOfLines(lines))
        update();
}

void Label::draw(QPainter& p) {
    m_text.draw(p, bounds(), true);
}

QString Label::fullTextToolTip() const {
    return m_fullTextToolTip && isTruncated() ? text() : QString();
}

bool Label::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip || !m_fullTextToolTip)
        return View::event(event);
    const QString tip = fullTextToolTip();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        // As rich text, so that a long text wraps instead of running off the screen.
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                           QStringLiteral("<p>%1</p>").arg(tip.toHtmlEscaped()), this);
    }
    return true;
}

} // namespace kit
