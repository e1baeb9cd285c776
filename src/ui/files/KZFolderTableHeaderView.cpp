#include "ui/files/KZFolderTableHeaderView.h"

#include "shell/KZStyle.h"

#include <QFontMetricsF>
#include <QPainter>

KZFolderTableHeaderView::KZFolderTableHeaderView(QWidget* parent) : kit::TableHeaderView(parent) {
    setCustomBackgroundColor(Qt::white);
}

QPointF KZFolderTableHeaderView::titleOrigin(int column) const {
    const QRectF r = headerRectOfColumn(column);
    return QPointF(r.x() + (column == 0 ? 4 : 10), r.y() + 12);
}

void KZFolderTableHeaderView::draw(QPainter& p) {
    kit::TableView* table = tableView();
    if (!table)
        return;
    const QFont font = KZStyle::subTitleFont();
    const QFontMetricsF fm(font);
    p.setFont(font);
    p.setPen(KZStyle::lightGray3Color());
    const QList<kit::TableColumn*> columns = table->tableColumns();
    for (int c = 0; c < columns.size(); ++c) {
        // The point is the title's top left, as in a flipped view; the painter wants a baseline.
        const QPointF o = titleOrigin(c);
        p.drawText(QPointF(o.x(), o.y() + fm.ascent()), columns.at(c)->title());
    }
}

void KZFolderTableHeaderCell::drawWithFrame(QPainter& p, const QRectF& frame) const {
    p.save();
    p.setFont(KZStyle::subTitleFont());
    p.setPen(KZStyle::lightGray3Color());
    p.drawText(frame, Qt::AlignLeft | Qt::AlignVCenter, m_title);
    p.restore();
}
