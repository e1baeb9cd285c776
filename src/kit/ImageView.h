#pragma once

#include "kit/Image.h"
#include "kit/View.h"

#include <QTransform>

namespace kit {

enum class ImageScaling { ProportionallyDown, AxesIndependently, None, ProportionallyUpOrDown, AspectFill };

// Shows an image centred in its bounds, scaled as asked.
class ImageView : public View {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);
    Image image() const { return m_image; }
    void setImage(const Image& image);
    ImageScaling imageScaling() const { return m_scaling; }
    void setImageScaling(ImageScaling s);
    // Where the image is drawn, for the current bounds (before any rotation).
    QRectF imageRect() const;
    // A rotation of the view's content about its centre; a positive angle turns it counter-clockwise
    // on screen, as on a surface whose y grows upwards. Quarter turns fit the turned image to the
    // bounds. The transform is kept as given, so callers can read its entries back.
    void setRotationTransform(const QTransform& transform);
    const QTransform& rotationTransform() const { return m_rotation; }

    // Where an image of `size` goes in `bounds`, and drawing it there, as an image view with
    // those bounds draws it: for views that draw their images themselves.
    static QRectF imageRect(const QSizeF& size, const QRectF& bounds, ImageScaling scaling);
    static void drawImage(QPainter& p, const Image& image, const QRectF& bounds, ImageScaling scaling);

protected:
    void draw(QPainter& p) override;

private:
    Image m_image;
    ImageScaling m_scaling = ImageScaling::ProportionallyDown;
    QTransform m_rotation;
};

// A spinning progress indicator.
class Spinner : public View {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr);
    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer != 0; }
    // Whether it is drawn while stopped (default no).
    void setDisplayedWhenStopped(bool shown);
    void setColor(const QColor& c);

protected:
    void draw(QPainter& p) override;
    void timerEvent(QTimerEvent* e) override;

private:
    int m_timer = 0;
    int m_step = 0;
    bool m_displayedWhenStopped = false;
    QColor m_color = QColor(0x63, 0x73, 0x87);
};

} // namespace kit
