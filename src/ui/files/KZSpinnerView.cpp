#include "ui/files/KZSpinnerView.h"

#include "shell/KZStyle.h"

#include <QPainter>

KZSpinnerView::KZSpinnerView(QWidget* parent) : kit::View(parent) {
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update();
    });
    setHidden(true);
}

void KZSpinnerView::startAnimation() {
    setHidden(false);
    m_timer.start();
}

void KZSpinnerView::stopAnimation() {
    m_timer.stop();
    setHidden(true);
}

void KZSpinnerView::draw(QPainter& p) {
    const qreal side = std::min(width(), height()) - 4;
    if (side <= 0)
        return;
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(KZStyle::themeColor(), 2);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    const QRectF box((width() - side) / 2, (height() - side) / 2, side, side);
    p.drawArc(box, -m_angle * 16, 270 * 16);
}
