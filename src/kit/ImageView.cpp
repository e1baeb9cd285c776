#include "kit/ImageView.h"

#include <QPainter>
#include <QTimerEvent>
#include <cmath>

namespace kit {

ImageView::ImageView(QWidget* parent) : View(parent) {}

void ImageView::setImage(const Image& image) {
    m_image = image;
    update();
}

void ImageView::setImageScaling(ImageScaling s) {
    m_scaling = s;
    update();
}

void ImageView::setRotationTransform(const QTransform& transform) {
    m_rotation = transform;
    update();
}

QRectF ImageView::imageRect() const {
    if (m_image.isNull())
        return {};
    QRectF b = bounds();
    // Turned sideways, the image is fitted to the bounds turned the same way.
    if (std::abs(m_rotation.m11()) < 0.5) {
        b = QRectF(0, 0, b.height(), b.width());
        b.moveCenter(bounds().center());
    }
    return imageRect(m_image.size(), b, m_scaling);
}

QRectF ImageView::imageRect(const QSizeF& img, const QRectF& b, ImageScaling scaling) {
    QSizeF s = img;
    switch (scaling) {
    case ImageScaling::AxesIndependently:
        return b;
    case ImageScaling::None:
        break;
    case ImageScaling::ProportionallyDown:
        if (img.width() > b.width() || img.height() > b.height())
            s = img.scaled(b.size(), Qt::KeepAspectRatio);
        break;
    case ImageScaling::ProportionallyUpOrDown:
        s = img.scaled(b.size(), Qt::KeepAspectRatio);
        break;
    case ImageScaling::AspectFill:
        s = img.scaled(b.size(), Qt::KeepAspectRatioByExpanding);
        break;
    }
    return QRectF(b.x() + (b.width() - s.width()) / 2, b.y() + (b.height() - s.height()) / 2, s.width(),
                  s.height());
}

void ImageView::drawImage(QPainter& p, const Image& image, const QRectF& bounds, ImageScaling scaling) {
    if (image.isNull())
        return;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setClipRect(bounds, Qt::IntersectClip);
    p.drawPixmap(imageRect(image.size(), bounds, scaling), image.pixmap(), QRectF());
    p.restore();
}

void ImageView::draw(QPainter& p) {
    if (m_image.isNull())
        return;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setClipRect(bounds());
    if (!m_rotation.isIdentity()) {
        const QPointF c = bounds().center();
        p.translate(c);
        p.setTransform(m_rotation.inverted(), true); // y grows downwards here
        p.translate(-c);
    }
    p.drawPixmap(imageRect(), m_image.pixmap(), QRectF());
    p.restore();
}

Spinner::Spinner(QWidget* parent) : View(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Spinner::startAnimation() {
    if (!m_timer)
        m_timer = startTimer(80);
    update();
}

void Spinner::stopAnimation() {
    if (m_timer)
        killTimer(m_timer);
    m_timer = 0;
    update();
}

void Spinner::setDisplayedWhenStopped(bool shown) {
    m_displayedWhenStopped = shown;
    update();
}

void Spinner::setColor(const QColor& c) {
    m_color = c;
    update();
}

void Spinner::timerEvent(QTimerEvent* e) {
    if (e->timerId() != m_timer)
        return View::timerEvent(e);
    m_step = (m_step + 1) % 12;
    update();
}

void Spinner::draw(QPainter& p) {
    if (!m_timer && !m_displayedWhenStopped)
        return;
    p.setRenderHint(QPainter::Antialiasing);
    const qreal r = std::min(width(), height()) / 2;
    p.translate(width() / 2, height() / 2);
    for (int i = 0; i < 12; ++i) {
        QColor c = m_color;
        c.setAlphaF(0.15 + 0.85 * (((i - m_step + 12) % 12) / 11.0));
        p.setPen(QPen(c, std::max<qreal>(1.5, r / 6), Qt::SolidLine, Qt::RoundCap));
        const qreal a = i * M_PI / 6;
        p.drawLine(QPointF(std::cos(a) * r * 0.5, std::sin(a) * r * 0.5),
                   QPointF(std::cos(a) * r * 0.9, std::sin(a) * r * 0.9));
    }
}

} // namespace kit
