#pragma once

#include <functional>
#include <vector>

#include <QtGlobal>

namespace kit {

// Where a table's rows lie (row 0 at y 0): O(1) for uniform heights, a prefix sum of per-row
// heights otherwise. The sums are built again only when something marked them dirty, on the
// first question after that.
class TableLayout {
public:
    // Asked for each row's height when the sums are built; a negative answer for row 0 means
    // every row has the uniform height.
    void setHeightSource(std::function<qreal(int)> source) {
        m_source = std::move(source);
        invalidate();
    }
    void setRowHeight(qreal h);
    qreal rowHeight() const { return m_rowHeight; }
    void setRowCount(int count);
    int rowCount() const { return m_count; }
    // The heights changed: asked again when next needed.
    void invalidate() { m_dirty = true; }

    qreal heightOf(int row) const;
    qreal topOf(int row) const;
    qreal contentHeight() const;
    // The row at y, or -1 outside the rows.
    int rowAt(qreal y) const;

private:
    void ensure() const;

    std::function<qreal(int)> m_source;
    qreal m_rowHeight = 24;
    int m_count = 0;
    mutable bool m_dirty = true;
    mutable bool m_variable = false;
    mutable std::vector<qreal> m_prefix; // m_prefix[r] is the top of row r
};

} // namespace kit
