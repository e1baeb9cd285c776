#pragma once

#include "kit/View.h"

// A thin bar whose filled share follows a fraction.
class KZProgressView : public kit::View {
    Q_OBJECT
public:
    explicit KZProgressView(QWidget* parent = nullptr);

    // Kept within 0 to 1 (a negative or undefined fraction shows an empty bar).
    void setValue(double value);
    double value() const { return m_value; }
    void setTrackColor(const QColor& c);
    void setBarColor(const QColor& c);
    // The filled bar's width: the value's share of the view's width.
    qreal barWidth() const { return m_value * width(); }

protected:
    void draw(QPainter& painter) override;

private:
    double m_value = 0;
    QColor m_track;
    QColor m_bar;
};
