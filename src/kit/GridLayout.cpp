#include "kit/GridLayout.h"

#include <algorithm>
#include <cmath>

namespace kit {

void GridLayout::setItemSize(const QSizeF& s) {
    m_itemSize = QSizeF(std::max<qreal>(1, s.width()), std::max<qreal>(1, s.height()));
    m_columns = -1;
}

void GridLayout::setSpacing(qreal interitem, qreal line) {
    m_interitem = std::max<qreal>(0, interitem);
    m_line = std::max<qreal>(0, line);
    m_columns = -1;
}

void GridLayout::setInset(const QMargins& m) {
    m_inset = m;
    m_columns = -1;
}

void GridLayout::setWidth(qreal width) {
    if (width != m_width)
        m_columns = -1;
    m_width = width;
}

int GridLayout::columns() const {
    if (m_columns < 0) {
        const qreal avail = m_width - m_inset.left() - m_inset.right() + m_interitem;
        m_columns = std::max(1, int(avail / (m_itemSize.width() + m_interitem)));
    }
    return m_columns;
}

qreal GridLayout::contentHeight() const {
    const int lines = (m_count + columns() - 1) / columns();
    const qreal grid = lines == 0 ? 0 : lines * m_itemSize.height() + (lines - 1) * m_line;
    return gridTop() + grid + m_inset.bottom();
}

QRectF GridLayout::frameOf(int item) const {
    if (item < 0 || item >= m_count)
        return {};
    const int line = item / columns();
    const int col = item % columns();
    return QRectF(m_inset.left() + col * (m_itemSize.width() + m_interitem), gridTop() + line * lineHeight(),
                  m_itemSize.width(), m_itemSize.height());
}

int GridLayout::itemAt(const QPointF& p) const {
    const qreal y = p.y() - gridTop();
    const qreal x = p.x() - m_inset.left();
    if (y < 0 || x < 0)
        return -1;
    const int line = int(y / lineHeight());
    const int col = int(x / (m_itemSize.width() + m_interitem));
    if (col >= columns())
        return -1;
    const int item = line * columns() + col;
    if (item >= m_count || !frameOf(item).contains(p))
        return -1;
    return item;
}

std::pair<int, int> GridLayout::itemsIn(qreal top, qreal height, int overscan) const {
    if (m_count == 0 || height <= 0)
        return {0, -1};
    const int firstLine = std::max(0, int((top - gridTop()) / lineHeight()) - overscan);
    const int lastLine = std::max(0, int((top + height - gridTop()) / lineHeight()) + overscan);
    return {std::min(m_count, firstLine * columns()), std::min(m_count - 1, (lastLine + 1) * columns() - 1)};
}

int GridLayout::insertionIndexAt(const QPointF& p) const {
    const int line = std::max(0, int((p.y() - gridTop()) / lineHeight()));
    // The number of tile centres left of the point on its line.
    const qreal step = m_itemSize.width() + m_interitem;
    const int col = std::clamp(int(std::floor((p.x() - m_inset.left() - m_itemSize.width() / 2) / step)) + 1,
                               0, columns());
    return std::min(m_count, line * columns() + col);
}

} // namespace kit
