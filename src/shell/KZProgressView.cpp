#include "KZProgressView.h"

#include "KZStyle.h"

#include <QPainter>
#include <cmath>

KZProgressView::KZProgressView(QWidget* parent)
    : kit::View(parent), m_track(KZStyle::lightGrayColor()), m_bar(KZStyle::themeColor()) {}

void KZProgressView::setValue(double value) {
    if (!(value > 0.0)) // negative and NaN
        value = 0.0;
    m_value = std::min(value, 1.0);
    update();
}

void KZProgressView::setTrackColor(const QColor& c) {
    m_track = c;
    update();
}

void KZProgressView::setBarColor(const QColor& c) {
    m_bar = c;
    update();
}

void KZProgressView::draw(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const qreal r = height() / 2;
    painter.setBrush(m_track);
    painter.drawRoundedRect(bounds(), r, r);
    if (m_value > 0) {
        painter.setBrush(m_bar);
        painter.drawRoundedRect(QRectF(0, 0, barWidth(), height()), r, r);
    }
}
