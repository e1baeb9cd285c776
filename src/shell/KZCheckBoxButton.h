#pragma once

#include "KZButton.h"

// A check box with an optional title after the box, `interval` apart: a click toggles
// `checked` and then sends the action.
class KZCheckBoxButton : public KZButton {
    Q_OBJECT
public:
    explicit KZCheckBoxButton(QWidget* parent = nullptr);
    explicit KZCheckBoxButton(const QRectF& frame, QWidget* parent = nullptr);

    bool checked() const { return m_checked; }
    void setChecked(bool checked);
    // Takes the width of the box, the gap (`interval`) and the title, at most `maxWidth` when
    // that is positive: a click toggles only on what is drawn, not on an empty row beside it.
    void sizeToFit(qreal maxWidth = 0);

    void mouseUp(const kit::Event& event) override;

    // Draws the box as a check box of `height` draws it from `origin`, for views that draw
    // their check boxes themselves.
    static void drawBox(QPainter& painter, const QPointF& origin, qreal height, bool checked, bool enabled);

protected:
    void draw(QPainter& painter) override;

private:
    bool m_checked = false;
};
