#pragma once

#include "kit/View.h"

// The body of the file page: filled with the page's white, its lower-left corner rounded (12)
// to follow the page's own rounded corner, the other corners square.
class KZFilesViewContentView : public kit::View {
    Q_OBJECT
public:
    static constexpr double kCornerRadius = 12.0;

    explicit KZFilesViewContentView(QWidget* parent = nullptr) : kit::View(parent) {}
    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& color);

protected:
    void draw(QPainter& painter) override;

private:
    QColor m_fill = Qt::white;
};
