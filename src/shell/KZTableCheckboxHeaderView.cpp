#include "KZTableCheckboxHeaderView.h"

#include "KZCheckBoxButton.h"
#include "KZStyle.h"

#include <QPainter>

KZTableCheckboxHeaderView::KZTableCheckboxHeaderView(QWidget* parent)
    : kit::View(parent), m_box(new KZCheckBoxButton(this)) {
    setCustomBackgroundColor(Qt::white);
    m_box->setAction([this](KZButton*) {
        // The header takes the box's new state before the delegate hears of it.
        m_selected = m_box->checked();
        if (auto* d = m_delegate.get())
            d->tableCheckBoxHeaderViewDidPressSelectButton(this, m_box);
    });
    layout();
}

void KZTableCheckboxHeaderView::setEnable(bool enable) {
    m_box->setEnabled(enable);
    if (!enable)
        setSelected(false);
}

bool KZTableCheckboxHeaderView::isEnable() const {
    return m_box->isEnabled();
}

void KZTableCheckboxHeaderView::setSelected(bool selected) {
    m_selected = selected;
    m_box->setChecked(selected);
}

void KZTableCheckboxHeaderView::layout() {
    m_box->setFrame(QRectF(16, (height() - 16) / 2, 16, 16));
}

void KZTableCheckboxHeaderView::draw(QPainter& painter) {
    painter.fillRect(QRectF(0, height() - 1, width(), 1), KZStyle::separatorColor());
}
