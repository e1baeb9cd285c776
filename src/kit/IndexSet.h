#pragma once

#include <QList>
#include <initializer_list>
#include <utility>
#include <vector>

namespace kit {

// A sorted set of non-negative indexes, stored as disjoint ranges so that "all of a million
// rows" costs one range.
class IndexSet {
public:
    IndexSet() = default;
    IndexSet(int index); // NOLINT: one index is a set
    IndexSet(std::initializer_list<int> indexes);
    static IndexSet range(int first, int count);
    static IndexSet fromList(const QList<int>& indexes);

    void add(int index) { addRange(index, 1); }
    void addRange(int first, int count);
    void add(const IndexSet& other);
    void remove(int index) { removeRange(index, 1); }
    void removeRange(int first, int count);
    void remove(const IndexSet& other);
    void clear() { m_ranges.clear(); }

    bool contains(int index) const;
    bool containsAll(const IndexSet& other) const;
    bool isEmpty() const { return m_ranges.empty(); }
    int count() const;
    int first() const { return m_ranges.empty() ? -1 : m_ranges.front().first; }
    int last() const { return m_ranges.empty() ? -1 : m_ranges.back().second - 1; }
    // Indexes within [first, first + count).
    IndexSet intersectedWithRange(int first, int count) const;

    // Moves every index >= start by delta. A negative delta first drops the indexes in
    // [start + delta, start), as removing rows does; a positive one opens a gap, as inserting does.
    void shift(int start, int delta);

    QList<int> toList() const;
    template <class F> void forEach(F&& f) const {
        for (const auto& [a, b] : m_ranges)
            for (int i = a; i < b; ++i)
                f(i);
    }
    // Half-open ranges [first, end), ascending.
    const std::vector<std::pair<int, int>>& ranges() const { return m_ranges; }

    bool operator==(const IndexSet& o) const { return m_ranges == o.m_ranges; }

private:
    std::vector<std::pair<int, int>> m_ranges;
};

} // namespace kit
