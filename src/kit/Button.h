#pragma once

#include "kit/Callback.h"
#include "kit/Image.h"
#include "kit/View.h"

#include <QFont>
#include <functional>

namespace kit {

// A drawn push button with an optional image left of its title. A click (press and release
// inside) runs its action; a disabled button draws greyed and ignores clicks.
class Button : public View {
    Q_OBJECT
public:
    explicit Button(QWidget* parent = nullptr);
    explicit Button(const QRectF& frame, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    Image image() const { return m_image; }
    void setImage(const Image& image);
    // Image size to draw (default: the image's own size).
    void setImageSize(const QSizeF& size);
    QFont font() const { return m_font; }
    void setFont(const QFont& font);
    void setTitleNormalColor(const QColor& c);
    void setTitleHighlightColor(const QColor& c);
    // Gap between image and title.
    void setInterval(qreal gap);
    qreal interval() const { return m_interval; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool isHighlighted() const { return m_pressed && m_mouseOver; }

    // The action is dropped when `context` (usually the object whose method it calls) goes.
    void setAction(const QObject* context, std::function<void()> action) {
        m_action = {context, std::move(action)};
    }
    // Runs the action as a click would (when enabled).
    void performClick();

    QSizeF intrinsicSize() const;

protected:
    void draw(QPainter& p) override;
    void mouseDown(const Event& e) override;
    void mouseUp(const Event& e) override;
    void mouseDragged(const Event& e) override;
    // Called on a click before the action runs (check boxes toggle here).
    virtual void clicked() {}

private:
    QString m_title;
    Image m_image;
    QSizeF m_imageSize;
    QFont m_font;
    QColor m_normal = Qt::black;
    QColor m_highlight;
    qreal m_interval = 4;
    bool m_enabled = true;
    bool m_pressed = false;
    bool m_mouseOver = false;
    Callback<> m_action;
};

} // namespace kit
