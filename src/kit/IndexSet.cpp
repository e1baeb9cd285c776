#include "kit/IndexSet.h"

#include <QtGlobal>
#include <algorithm>
#include <limits>

namespace kit {

IndexSet::IndexSet(int index) {
    add(index);
}

IndexSet::IndexSet(std::initializer_list<int> indexes) {
    for (int i : indexes)
        add(i);
}

IndexSet IndexSet::range(int first, int count) {
    IndexSet s;
    s.addRange(first, count);
    return s;
}

IndexSet IndexSet::fromList(const QList<int>& indexes) {
    IndexSet s;
    for (int i : indexes)
        s.add(i);
    return s;
}

namespace {
// The end of [first, first + count), kept within int so that huge indexes cannot overflow.
int endOf(int first, int count) {
    return int(std::min<qint64>(qint64(first) + count, std::numeric_limits<int>::max()));
}
} // namespace

void IndexSet::addRange(int first, int count) {
    if (count <= 0)
        return;
    if (first < 0) {
        count = endOf(first, count);
        first = 0;
        if (count <= 0)
            return;
    }
    int a = first;
    int b = endOf(first, count);
    if (a >= b)
        return;
    // Sets are mostly built in ascending order: at or past the last range, no search.
    if (m_ranges.empty() || a > m_ranges.back().second) {
        m_ranges.emplace_back(a, b);
        return;
    }
    if (a >= m_ranges.back().first) {
        m_ranges.back().second = std::max(m_ranges.back().second, b);
        return;
    }
    // The first range that ends at or after a (touching ranges merge).
    auto it = std::lower_bound(m_ranges.begin(), m_ranges.end(), a,
                               [](const std::pair<int, int>& r, int v) { return r.second < v; });
    auto end = it;
    while (end != m_ranges.end() && end->first <= b) {
        a = std::min(a, end->first);
        b = std::max(b, end->second);
        ++end;
    }
    it = m_ranges.erase(it, end);
    m_ranges.insert(it, {a, b});
}

void IndexSet::add(const IndexSet& other) {
    for (const auto& [a, b] : other.m_ranges)
        addRange(a, b - a);
}

void IndexSet::removeRange(int first, int count) {
    if (count <= 0)
        return;
    const int a = first;
    const int b = endOf(first, count);
    std::vector<std::pair<int, int>> out;
    out.reserve(m_ranges.size() + 1);
    for (const auto& r : m_ranges) {
        if (r.second <= a || r.first >= b) {
            out.push_back(r);
            continue;
        }
        if (r.first < a)
            out.push_back({r.first, a});
        if (r.second > b)
            out.push_back({b, r.second});
    }
    m_ranges = std::move(out);
}

void IndexSet::remove(const IndexSet& other) {
    for (const auto& [a, b] : other.m_ranges)
        removeRange(a, b - a);
}

bool IndexSet::contains(int index) const {
    auto it = std::upper_bound(m_ranges.begin(), m_ranges.end(), index,
                               [](int v, const std::pair<int, int>& r) { return v < r.second; });
    return it != m_ranges.end() && it->first <= index;
}

bool IndexSet::containsAll(const IndexSet& other) const {
    for (const auto& [a, b] : other.m_ranges) {
        auto it = std::upper_bound(m_ranges.begin(), m_ranges.end(), a,
                                   [](int v, const std::pair<int, int>& r) { return v < r.second; });
        if (it == m_ranges.end() || it->first > a || it->second < b)
            return false;
    }
    return true;
}

int IndexSet::count() const {
    int n = 0;
    for (const auto& [a, b] : m_ranges)
        n += b - a;
    return n;
}

IndexSet IndexSet::intersectedWithRange(int first, int count) const {
    IndexSet s;
    const int end = endOf(first, count);
    for (const auto& [a, b] : m_ranges) {
        const int lo = std::max(a, first);
        const int hi = std::min(b, end);
        if (lo < hi)
            s.m_ranges.push_back({lo, hi});
    }
    return s;
}

void IndexSet::shift(int start, int delta) {
    if (delta == 0 || m_ranges.empty())
        return;
    // Worked out in 64 bits: indexes pushed past the largest int or below 0 are dropped, never
    // wrapped around.
    const qint64 s = start;
    const qint64 d = delta;
    if (d < 0 && s > 0) {
        const qint64 dropFrom = std::max<qint64>(0, s + d);
        removeRange(int(dropFrom), int(s - dropFrom));
    }
    std::vector<std::pair<int, int>> old = std::move(m_ranges);
    m_ranges.clear();
    auto put = [this](qint64 a, qint64 b) {
        a = std::max<qint64>(a, 0);
        b = std::min<qint64>(b, std::numeric_limits<int>::max());
        if (a < b)
            addRange(int(a), int(b - a));
    };
    for (const auto& [a, b] : old) {
        if (b <= s) {
            put(a, b);
        } else if (a >= s) {
            put(a + d, b + d);
        } else { // the range straddles start: split it
            put(a, s);
            put(s + d, b + d);
        }
    }
}

QList<int> IndexSet::toList() const {
    QList<int> out;
    forEach([&](int i) { out.append(i); });
    return out;
}

} // namespace kit
