#include "kit/TableLayout.h"

#include <algorithm>

namespace kit {

void TableLayout::setRowHeight(qreal h) {
    m_rowHeight = std::max<qreal>(1, h);
    invalidate();
}

void TableLayout::setRowCount(int count) {
    m_count = std::max(0, count);
    invalidate();
}

void TableLayout::ensure() const {
    if (!m_dirty)
        return;
    m_dirty = false;
    m_prefix.clear();
    m_variable = m_source && m_count > 0 && m_source(0) >= 0;
    if (!m_variable)
        return;
    m_prefix.resize(size_t(m_count) + 1);
    m_prefix[0] = 0;
    for (int r = 0; r < m_count; ++r) {
        const qreal h = m_source(r);
        m_prefix[r + 1] = m_prefix[r] + (h > 0 ? h : m_rowHeight);
    }
}

qreal TableLayout::heightOf(int row) const {
    ensure();
    return m_variable ? m_prefix[row + 1] - m_prefix[row] : m_rowHeight;
}

qreal TableLayout::topOf(int row) const {
    ensure();
    return m_variable ? m_prefix[row] : row * m_rowHeight;
}

qreal TableLayout::contentHeight() const {
    ensure();
    return m_variable ? m_prefix[m_count] : m_count * m_rowHeight;
}

int TableLayout::rowAt(qreal y) const {
    if (y < 0 || y >= contentHeight())
        return -1;
    if (!m_variable)
        return std::min(m_count - 1, int(y / m_rowHeight));
    auto it = std::upper_bound(m_prefix.begin(), m_prefix.end(), y);
    return std::clamp(int(it - m_prefix.begin()) - 1, 0, m_count - 1);
}

} // namespace kit
