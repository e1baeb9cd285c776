#include "KZCheckBoxButton.h"

#include "KZStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
constexpr qreal kBox = 14;
}

KZCheckBoxButton::KZCheckBoxButton(QWidget* parent) : KZButton(parent) {
    setFont(KZStyle::fontOfSize(12));
    setInterval(6);
}

KZCheckBoxButton::KZCheckBoxButton(const QRectF& frame, QWidget* parent) : KZCheckBoxButton(parent) {
    setFrame(frame);
}

void KZCheckBoxButton::setChecked(bool checked) {
    m_checked = checked;
    update();
}

void KZCheckBoxButton::sizeToFit(qreal maxWidth) {
    qreal w = kBox;
    if (!title().isEmpty())
        w += interval() + std::ceil(QFontMetricsF(font()).horizontalAdvance(title())) + 1;
    setWidth(maxWidth > 0 ? std::min(w, maxWidth) : w);
}

void KZCheckBoxButton::mouseUp(const kit::Event& event) {
    if (!isHighlighted())
        return KZButton::mouseUp(event);
    const QPointF p = convertFromWindow(event.locationInWindow());
    if (isEnabled() && bounds().contains(p))
        setChecked(!m_checked);
    KZButton::mouseUp(event); // sends the action with the new state
}

void KZCheckBoxButton::drawBox(QPainter& painter, const QPointF& origin, qreal height, bool checked,
                               bool enabled) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(enabled ? 1.0 : 0.4);
    const QRectF box(origin.x() + 0.5, origin.y() + (height - kBox) / 2 + 0.5, kBox - 1, kBox - 1);
    if (checked) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(KZStyle::themeColor());
        painter.drawRoundedRect(box, 3, 3);
        QPainterPath tick;
        tick.moveTo(box.left() + 3, box.center().y());
        tick.lineTo(box.left() + 5.8, box.bottom() - 3.5);
        tick.lineTo(box.right() - 3, box.top() + 3.5);
        painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
    } else {
        painter.setPen(QPen(KZStyle::lightGray3Color(), 1));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(box, 3, 3);
    }
}

void KZCheckBoxButton::draw(QPainter& painter) {
    drawBox(painter, QPointF(0, 0), height(), m_checked, isEnabled());
    if (!title().isEmpty()) {
        const qreal left = kBox + interval();
        painter.setFont(font());
        painter.setPen(titleNormalColor());
        painter.drawText(QRectF(left, 0, width() - left, height()), Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetricsF(font()).elidedText(title(), Qt::ElideRight, width() - left));
    }
}
