#pragma once

#include "kit/Callback.h"
#include "kit/View.h"

#include <QImage>
#include <functional>

// A custom-drawn button with an image and a title side by side. A click (press and release
// inside) sends its action; a disabled button is drawn greyed and ignores clicks.
class KZButton : public kit::View {
    Q_OBJECT
public:
    using Action = std::function<void(KZButton* sender)>;

    explicit KZButton(QWidget* parent = nullptr);
    explicit KZButton(const QRectF& frame, QWidget* parent = nullptr);

    // Target and action in one: the callable runs with the button as sender, unless `context`
    // (the target) is gone.
    void setAction(const QObject* context, Action action) { m_action = {context, std::move(action)}; }
    void sendAction();

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    QImage image() const { return m_image; }
    void setImage(const QImage& image);
    QFont font() const { return m_font; }
    void setFont(const QFont& font);
    QColor titleNormalColor() const { return m_normalColor; }
    void setTitleNormalColor(const QColor& color);
    void setTitleHighlightColor(const QColor& color);
    void setBackgroundColor(const QColor& color) { setCustomBackgroundColor(color); }
    // The gap between image and title.
    qreal interval() const { return m_interval; }
    void setInterval(qreal interval);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool isHighlighted() const { return m_highlighted; }

    void mouseDown(const kit::Event& event) override;
    void mouseUp(const kit::Event& event) override;

protected:
    void draw(QPainter& painter) override;
    // Where image and title go within the bounds.
    void contentRects(QRectF* imageRect, QRectF* titleRect) const;

private:
    kit::Callback<KZButton*> m_action;
    QString m_title;
    QImage m_image;
    QFont m_font;
    QColor m_normalColor;
    QColor m_highlightColor;
    qreal m_interval = 4;
    bool m_enabled = true;
    bool m_highlighted = false;
};
