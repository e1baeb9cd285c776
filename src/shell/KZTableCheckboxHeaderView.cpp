#include "KZTableCheckboxHeaderView.h"

#include "KZCheckBoxButton.h"
#include "KZStyle.h"

#include "kit/TableView.h"

#include <QFontMetricsF>
#include <QPainter>

KZTableCheckboxHeaderView::KZTableCheckboxHeaderView(QWidget* parent)
    : kit::View(parent), m_box(new KZCheckBoxButton(this)) {
    setCustomBackgroundColor(Qt::white);
    m_box->setAction(this, [this](KZButton*) {
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

void KZTableCheckboxHeaderView::setTableView(kit::TableView* table) {
    m_table = table;
    update();
}

double KZTableCheckboxHeaderView::titleLeft(int column) const {
    if (!m_table)
        return -1;
    const QList<kit::TableColumn*> columns = m_table->tableColumns();
    double x = 0;
    bool first = true;
    for (int i = 0; i < columns.size(); ++i) {
        const bool titled = !columns[i]->title().isEmpty();
        if (i == column)
            return titled ? x + (first ? 4 : 10) : -1;
        first = first && !titled;
        x += columns[i]->width();
    }
    return -1;
}

void KZTableCheckboxHeaderView::draw(QPainter& painter) {
    painter.fillRect(QRectF(0, height() - 1, width(), 1), KZStyle::separatorColor());
    if (!m_table)
        return;
    const QFont font = KZStyle::subTitleFont();
    painter.setFont(font);
    painter.setPen(KZStyle::lightGray3Color());
    const QFontMetricsF fm(font);
    const double baseline = (height() - fm.height()) / 2 + fm.ascent();
    const QList<kit::TableColumn*> columns = m_table->tableColumns();
    for (int i = 0; i < columns.size(); ++i)
        if (const double x = titleLeft(i); x >= 0)
            painter.drawText(QPointF(x, baseline), columns[i]->title());
}
