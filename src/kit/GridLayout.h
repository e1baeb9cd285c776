#pragma once

#include <QMargins>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <utility>

namespace kit {

// Where a grid's equal tiles lie, in reading order below a header (the header's top at y 0).
// The number of columns is worked out again only when the width or the tile metrics changed.
class GridLayout {
public:
    void setItemSize(const QSizeF& s);
    QSizeF itemSize() const { return m_itemSize; }
    void setSpacing(qreal interitem, qreal line);
    void setInset(const QMargins& m);
    void setWidth(qreal width);
    void setHeaderHeight(qreal h) { m_headerHeight = h; }
    void setCount(int count) { m_count = std::max(0, count); }
    int count() const { return m_count; }

    int columns() const;
    qreal lineHeight() const { return m_itemSize.height() + m_line; }
    qreal gridTop() const { return m_headerHeight + m_inset.top(); }
    qreal contentHeight() const;
    QRectF frameOf(int item) const;
    // The tile under a document point, or -1 (gaps, the header, after the last tile).
    int itemAt(const QPointF& p) const;
    // The first and last tile of the lines from y `top` to `top + height`, plus `overscan`
    // lines each side; last < first when there are none.
    std::pair<int, int> itemsIn(qreal top, qreal height, int overscan) const;
    // Where a drop between tiles goes: before the tile that follows the point in reading order.
    int insertionIndexAt(const QPointF& p) const;

private:
    QSizeF m_itemSize = QSizeF(100, 100);
    qreal m_interitem = 10;
    qreal m_line = 10;
    QMargins m_inset = QMargins(10, 10, 10, 10);
    qreal m_width = 0;
    qreal m_headerHeight = 0;
    int m_count = 0;
    mutable int m_columns = -1; // -1: to be worked out again
};

} // namespace kit
