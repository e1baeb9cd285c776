#pragma once

#include "KZButton.h"

// A check box: a click toggles `checked` and then sends the action.
class KZCheckBoxButton : public KZButton {
    Q_OBJECT
public:
    explicit KZCheckBoxButton(QWidget* parent = nullptr);
    explicit KZCheckBoxButton(const QRectF& frame, QWidget* parent = nullptr);

    bool checked() const { return m_checked; }
    void setChecked(bool checked);

    void mouseUp(const kit::Event& event) override;

    // Draws the box as a check box of `height` draws it from `origin`, for views that draw
    // their check boxes themselves.
    static void drawBox(QPainter& painter, const QPointF& origin, qreal height, bool checked, bool enabled);

protected:
    void draw(QPainter& painter) override;

private:
    bool m_checked = false;
};
