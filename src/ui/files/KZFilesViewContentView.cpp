#include "ui/files/KZFilesViewContentView.h"

#include <QPainter>
#include <QPainterPath>

void KZFilesViewContentView::setFillColor(const QColor& color) {
    m_fill = color;
    update();
}

void KZFilesViewContentView::draw(QPainter& p) {
    const QRectF r = bounds();
    const double radius = std::min({kCornerRadius, r.width() / 2, r.height() / 2});
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.topRight());
    path.lineTo(r.bottomRight());
    path.lineTo(r.left() + radius, r.bottom());
    path.arcTo(QRectF(r.left(), r.bottom() - 2 * radius, 2 * radius, 2 * radius), 270, -90);
    path.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path, m_fill);
}
