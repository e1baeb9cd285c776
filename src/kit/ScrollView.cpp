#include "kit/ScrollView.h"

#include <QScrollArea>
#include <QScrollBar>

namespace kit {

ScrollView::ScrollView(QWidget* parent) : View(parent), m_area(new QScrollArea(this)) {
    m_area->setFrameShape(QFrame::NoFrame);
    m_area->setWidgetResizable(false);
    m_area->show();
}

QWidget* ScrollView::documentView() const {
    return m_area->widget();
}

void ScrollView::setDocumentView(QWidget* view) {
    delete m_area->takeWidget();
    if (view)
        m_area->setWidget(view);
}

QRectF ScrollView::visibleRect() const {
    return QRectF(m_area->horizontalScrollBar()->value(), m_area->verticalScrollBar()->value(),
                  m_area->viewport()->width(), m_area->viewport()->height());
}

void ScrollView::scrollToPoint(const QPointF& p) {
    m_area->horizontalScrollBar()->setValue(int(p.x()));
    m_area->verticalScrollBar()->setValue(int(p.y()));
}

void ScrollView::setHasHorizontalScroller(bool has) {
    m_area->setHorizontalScrollBarPolicy(has ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void ScrollView::setHasVerticalScroller(bool has) {
    m_area->setVerticalScrollBarPolicy(has ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void ScrollView::layout() {
    m_area->setGeometry(0, 0, QWidget::width(), QWidget::height());
}

} // namespace kit
