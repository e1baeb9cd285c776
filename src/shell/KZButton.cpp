#include "KZButton.h"

#include "KZStyle.h"

#include <QFontMetricsF>
#include <QPainter>

KZButton::KZButton(QWidget* parent)
    : kit::View(parent), m_font(KZStyle::fontOfSize(14)), m_normalColor(KZStyle::titleColor()) {
    setCursor(Qt::ArrowCursor);
}

KZButton::KZButton(const QRectF& frame, QWidget* parent) : KZButton(parent) {
    setFrame(frame);
}

void KZButton::sendAction() {
    m_action(this);
}

void KZButton::setTitle(const QString& title) {
    m_title = title;
    update();
}

void KZButton::setImage(const QImage& image) {
    m_image = image;
    update();
}

void KZButton::setFont(const QFont& font) {
    m_font = font;
    update();
}

void KZButton::setTitleNormalColor(const QColor& color) {
    m_normalColor = color;
    update();
}

void KZButton::setTitleHighlightColor(const QColor& color) {
    m_highlightColor = color;
    update();
}

void KZButton::setInterval(qreal interval) {
    m_interval = interval;
    update();
}

void KZButton::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled)
        m_highlighted = false;
    update();
}

void KZButton::mouseDown(const kit::Event&) {
    if (!m_enabled)
        return;
    m_highlighted = true;
    update();
}

void KZButton::mouseUp(const kit::Event& event) {
    if (!m_highlighted)
        return;
    m_highlighted = false;
    update();
    const QPointF p = convertFromWindow(event.locationInWindow());
    if (m_enabled && bounds().contains(p))
        sendAction();
}

void KZButton::contentRects(QRectF* imageRect, QRectF* titleRect) const {
    const QSizeF imageSize =
        m_image.isNull() ? QSizeF() : QSizeF(m_image.size()) / m_image.devicePixelRatio();
    const QFontMetricsF fm(m_font);
    const qreal titleWidth = m_title.isEmpty() ? 0 : fm.horizontalAdvance(m_title) + 1;
    const qreal gap = (!m_image.isNull() && !m_title.isEmpty()) ? m_interval : 0;
    const qreal total = imageSize.width() + gap + titleWidth;
    qreal x = (width() - total) / 2;
    *imageRect = QRectF(QPointF(x, (height() - imageSize.height()) / 2), imageSize);
    x += imageSize.width() + gap;
    *titleRect = QRectF(x, 0, titleWidth, height());
}

void KZButton::draw(QPainter& painter) {
    QRectF imageRect, titleRect;
    contentRects(&imageRect, &titleRect);
    painter.setOpacity(m_enabled ? 1.0 : 0.4);
    if (!m_image.isNull())
        painter.drawImage(imageRect, m_image);
    if (!m_title.isEmpty()) {
        painter.setFont(m_font);
        painter.setPen(m_highlighted && m_highlightColor.isValid() ? m_highlightColor : m_normalColor);
        painter.drawText(titleRect, Qt::AlignCenter, m_title);
    }
}
