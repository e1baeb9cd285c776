#include "kit/SelectionModel.h"

#include <algorithm>
#include <cstdlib>

namespace kit {

IndexSet SelectionChange::added() const {
    IndexSet out = current;
    out.remove(previous);
    return out;
}

IndexSet SelectionChange::removed() const {
    IndexSet out = previous;
    out.remove(current);
    return out;
}

SelectionModel::InsertMap::InsertMap(const IndexSet& indexes, int count) : m_count(count) {
    m_places.reserve(size_t(indexes.count()));
    indexes.forEach([&](int i) {
        m_places.push_back(std::clamp(i, 0, m_count));
        ++m_count;
    });
}

int SelectionModel::InsertMap::operator()(int old) {
    // An old index moves down by the number of new indexes at or above its new place; called
    // in ascending order, that number only grows.
    while (m_next < m_places.size() && m_places[m_next] <= old + int(m_next))
        ++m_next;
    return old + int(m_next);
}

SelectionModel::RemoveMap::RemoveMap(const IndexSet& indexes, int count)
    : m_removed(indexes.intersectedWithRange(0, count)), m_count(count - m_removed.count()) {}

int SelectionModel::RemoveMap::operator()(int old) {
    const auto& ranges = m_removed.ranges();
    while (m_next < ranges.size() && ranges[m_next].second <= old) {
        m_below += ranges[m_next].second - ranges[m_next].first;
        ++m_next;
    }
    if (m_next < ranges.size() && ranges[m_next].first <= old)
        return -1;
    return old - m_below;
}

std::vector<int*> SelectionModel::marks() {
    std::vector<int*> out;
    for (int* i : {&m_anchor, &m_cursor, &m_pending})
        if (*i >= 0)
            out.push_back(i);
    std::sort(out.begin(), out.end(), [](const int* a, const int* b) { return *a < *b; });
    return out;
}

SelectionChange SelectionModel::replace(IndexSet next) {
    SelectionChange change{std::move(m_selection), std::move(next)};
    m_selection = change.current;
    return change;
}

SelectionChange SelectionModel::setCount(int count) {
    m_count = std::max(0, count);
    const auto inRange = [this](int i) { return i < m_count ? i : -1; };
    m_anchor = inRange(m_anchor);
    m_cursor = inRange(m_cursor);
    m_pending = -1;
    return replace(m_selection.intersectedWithRange(0, m_count));
}

SelectionChange SelectionModel::reset(int count) {
    m_count = std::max(0, count);
    m_anchor = m_cursor = m_pending = -1;
    return replace(IndexSet());
}

SelectionChange SelectionModel::select(const IndexSet& indexes, bool extend) {
    IndexSet wanted = indexes.intersectedWithRange(0, m_count);
    if (!m_multiple) {
        const int last = wanted.last();
        wanted = last < 0 ? IndexSet() : IndexSet(last);
        extend = false;
    }
    IndexSet next = extend ? m_selection : IndexSet();
    next.add(wanted);
    if (!wanted.isEmpty())
        m_anchor = m_cursor = wanted.last();
    return replace(std::move(next));
}

SelectionChange SelectionModel::deselect(const IndexSet& indexes) {
    IndexSet next = m_selection;
    next.remove(indexes);
    return replace(std::move(next));
}

SelectionChange SelectionModel::selectAll() {
    return replace(m_multiple ? IndexSet::range(0, m_count) : m_selection);
}

SelectionChange SelectionModel::clear() {
    return replace(IndexSet());
}

SelectionChange SelectionModel::press(int index, Qt::KeyboardModifiers modifiers) {
    m_pending = -1;
    if (index < 0 || index >= m_count)
        return replace(m_allowsEmpty ? IndexSet() : m_selection);
    if (m_multiple && (modifiers & Qt::ControlModifier)) {
        IndexSet next = m_selection;
        if (next.contains(index))
            next.remove(index);
        else
            next.add(index);
        m_anchor = m_cursor = index;
        return replace(std::move(next));
    }
    if (m_multiple && (modifiers & Qt::ShiftModifier) && m_anchor >= 0) {
        m_cursor = index;
        return replace(IndexSet::range(std::min(m_anchor, index), std::abs(index - m_anchor) + 1));
    }
    m_anchor = m_cursor = index;
    if (m_selection.contains(index) && m_selection.count() > 1) {
        m_pending = index;
        return replace(m_selection);
    }
    return replace(IndexSet(index));
}

SelectionChange SelectionModel::release(bool dragged) {
    const int pending = std::exchange(m_pending, -1);
    if (pending < 0 || dragged)
        return replace(m_selection);
    return replace(IndexSet(pending));
}

SelectionChange SelectionModel::moveCursor(int delta, bool extend) {
    m_pending = -1;
    if (m_count == 0)
        return replace(m_selection);
    // With nothing selected the keys start from the edge they move away from.
    int from = delta > 0 ? -1 : m_count;
    if (!m_selection.isEmpty())
        from = m_cursor >= 0 ? m_cursor : m_selection.last();
    const int to = std::clamp(from + delta, 0, m_count - 1);
    if (extend && m_multiple) {
        if (m_anchor < 0)
            m_anchor = std::clamp(from, 0, m_count - 1);
        m_cursor = to;
        return replace(IndexSet::range(std::min(m_anchor, to), std::abs(to - m_anchor) + 1));
    }
    m_anchor = m_cursor = to;
    return replace(IndexSet(to));
}

void SelectionModel::insert(const IndexSet& indexes) {
    if (indexes.isEmpty())
        return;
    IndexSet next;
    InsertMap map(indexes, m_count);
    m_selection.forEach([&](int i) { next.add(map(i)); });
    m_selection = std::move(next);
    InsertMap marked(indexes, m_count);
    for (int* i : marks())
        *i = marked(*i);
    m_count = map.newCount();
}

bool SelectionModel::remove(const IndexSet& indexes) {
    RemoveMap map(indexes, m_count);
    if (map.removed().isEmpty())
        return false;
    IndexSet next;
    bool lost = false;
    m_selection.forEach([&](int i) {
        const int to = map(i);
        if (to < 0)
            lost = true;
        else
            next.add(to);
    });
    m_selection = std::move(next);
    RemoveMap marked(map.removed(), m_count);
    for (int* i : marks())
        *i = marked(*i);
    m_count = map.newCount();
    return lost;
}

} // namespace kit
