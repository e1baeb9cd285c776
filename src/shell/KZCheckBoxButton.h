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

protected:
    void draw(QPainter& painter) override;

private:
    bool m_checked = false;
};
