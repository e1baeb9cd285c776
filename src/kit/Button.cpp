#include "kit/Button.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>

namespace kit {

Button::Button(QWidget* parent) : View(parent) {
    setCursor(Qt::ArrowCursor);
}

Button::Button(const QRectF& frame, QWidget* parent) : View(frame, parent) {}

void Button::setTitle(const QString& t) {
    m_title = t;
    update();
}

void Button::setImage(const Image& image) {
    m_image = image;
    update();
}

void Button::setImageSize(const QSizeF& s) {
    m_imageSize = s;
    update();
}

void Button::setFont(const QFont& f) {
    m_font = f;
    update();
}

void Button::setTitleNormalColor(const QColor& c) {
    m_normal = c;
    update();
}

void Button::setTitleHighlightColor(const QColor& c) {
    m_highlight = c;
    update();
}

void Button::setInterval(qreal gap) {
    m_interval = gap;
    update();
}

void Button::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled)
        m_pressed = false;
    update();
}

void Button::performClick() {
    if (!m_enabled)
        return;
    QPointer<Button> guard(this);
    clicked();
    if (guard)
        m_action();
}

QSizeF Button::intrinsicSize() const {
    const QSizeF img = m_image.isNull() ? QSizeF() : (m_imageSize.isEmpty() ? m_image.size() : m_imageSize);
    const QFontMetricsF fm(m_font);
    const qreal tw = m_title.isEmpty() ? 0 : fm.horizontalAdvance(m_title);
    const qreal gap = (img.isEmpty() || m_title.isEmpty()) ? 0 : m_interval;
    return QSizeF(img.width() + gap + tw, std::max(img.height(), m_title.isEmpty() ? 0 : fm.height()));
}

void Button::draw(QPainter& p) {
    const QSizeF content = intrinsicSize();
    const QSizeF img = m_image.isNull() ? QSizeF() : (m_imageSize.isEmpty() ? m_image.size() : m_imageSize);
    qreal x = (width() - content.width()) / 2;
    if (!m_enabled)
        p.setOpacity(0.4);
    if (!img.isEmpty()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(QRectF(QPointF(x, (height() - img.height()) / 2), img), m_image.pixmap(), QRectF());
        x += img.width() + (m_title.isEmpty() ? 0 : m_interval);
    }
    if (!m_title.isEmpty()) {
        p.setFont(m_font);
        p.setPen(isHighlighted() && m_highlight.isValid() ? m_highlight : m_normal);
        p.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, m_title);
    }
}

void Button::mouseDown(const Event&) {
    if (!m_enabled)
        return;
    m_pressed = true;
    m_mouseOver = true;
    update();
}

void Button::mouseDragged(const Event& e) {
    if (!m_pressed)
        return;
    const bool over = bounds().contains(convertFromWindow(e.locationInWindow()));
    if (over != m_mouseOver) {
        m_mouseOver = over;
        update();
    }
}

void Button::mouseUp(const Event& e) {
    if (!m_pressed)
        return;
    m_pressed = false;
    update();
    if (bounds().contains(convertFromWindow(e.locationInWindow())))
        performClick();
}

} // namespace kit
