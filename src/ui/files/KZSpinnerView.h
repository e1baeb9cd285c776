#pragma once

#include "kit/View.h"

#include <QTimer>

// A small turning arc that says "working"; it turns only while started.
class KZSpinnerView : public kit::View {
    Q_OBJECT
public:
    explicit KZSpinnerView(QWidget* parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer.isActive(); }

protected:
    void draw(QPainter& painter) override;

private:
    QTimer m_timer;
    int m_angle = 0;
};
