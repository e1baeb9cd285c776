#include "cloud/ChangeDigest.h"

#include <algorithm>

namespace nubo {

ChangeDigest::ChangeDigest(QList<CloudFileInfoPtr> report, int sortMode)
    : m_report(std::move(report)), m_sortMode(sortMode) {
    const bool byName = sortMode == 0 || sortMode == 1;
    const qsizetype count = m_report.size();
    size_t size = 64;
    while (size < size_t(count) * 2)
        size *= 2;
    m_slots.resize(size);
    m_bits.assign(size / 4, 0); // 32 to 64 bits per change
    m_changes.reserve(size_t(count));
    m_briefs.reserve(size_t(count));
    m_removes.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        // The records and their keys lie scattered: both are fetched a few ahead, so that the
        // misses overlap.
        if (i + 8 < count)
            __builtin_prefetch(m_report.at(i + 8).get());
        if (byName && i + 4 < count && m_report.at(i + 4) && !m_report.at(i + 4)->isDeleted())
            __builtin_prefetch(m_report.at(i + 4)->nameSortKey().constData());
        if (!m_report.at(i))
            continue;
        Change c = read(quint32(i));
        c.node = insert(c.key.nid);
        if (c.deleted)
            m_removes[c.node] = true;
        else
            m_additions.push_back(qsizetype(m_changes.size()));
        m_changes.push_back(c);
        m_briefs.push_back({c.key.nid, c.index, c.node, c.deleted, c.selected, c.key.dir});
    }
    m_additions = sorted(std::move(m_additions));
}

ChangeDigest::Change ChangeDigest::read(quint32 index) const {
    const CloudFileInfo& f = *m_report.at(index);
    Change c;
    c.index = index;
    c.deleted = f.isDeleted();
    c.selected = f.selected();
    // A removed node is never placed: its name key, which may still have to be made, is not
    // asked for.
    c.key = CloudFileList::keyOf(f, c.deleted ? 2 : m_sortMode);
    if (c.deleted) {
        c.key.key = {};
    } else if (m_sortMode == 0 || m_sortMode == 1) {
        const qsizetype len = std::min<qsizetype>(c.key.key.size(), 32);
        for (qsizetype b = 0; b < len; ++b)
            c.prefix[b / 8] |= quint64(quint8(c.key.key[b])) << (56 - 8 * (b % 8));
    } else {
        c.prefix[0] = quint64(qint64(c.key.mtime) + (qint64(1) << 32));
    }
    return c;
}

quint32 ChangeDigest::insert(qint64 nid) {
    const quint64 h = mix(nid);
    const size_t mask = m_bits.size() * 64 - 1;
    for (const size_t b : {size_t(h >> 17) & mask, size_t(h >> 41) & mask})
        m_bits[b / 64] |= quint64(1) << (b % 64);
    for (size_t s = slot(nid);; s = (s + 1) & (m_slots.size() - 1)) {
        Slot& slot = m_slots[s];
        if (slot.used && slot.nid != nid)
            continue;
        if (!slot.used) {
            slot.used = true;
            slot.nid = nid;
            slot.node = m_nodeCount++;
            m_removes.push_back(false);
        }
        return slot.node;
    }
}

std::vector<qsizetype> ChangeDigest::sorted(std::vector<qsizetype> indexes) const {
    // Small copies are sorted: the kind and the prefix decide nearly every comparison.
    struct Item {
        quint64 prefix[4];
        qsizetype index;
        bool dir;
    };
    const int mode = m_sortMode;
    const bool byName = mode == 0 || mode == 1;
    const bool descending = mode != 0 && mode != 2;
    std::vector<Item> items;
    items.reserve(indexes.size());
    for (qsizetype i : indexes) {
        const Change& c = m_changes[size_t(i)];
        items.push_back({{c.prefix[0], c.prefix[1], c.prefix[2], c.prefix[3]}, i, c.key.dir});
    }
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.dir != b.dir)
            return a.dir;
        const Item& x = descending ? b : a;
        const Item& y = descending ? a : b;
        for (int w = 0; w < 4; ++w)
            if (x.prefix[w] != y.prefix[w])
                return x.prefix[w] < y.prefix[w];
        if (byName) {
            const Change& ca = m_changes[size_t(a.index)];
            const Change& cb = m_changes[size_t(b.index)];
            const Change& cx = descending ? cb : ca;
            const Change& cy = descending ? ca : cb;
            if (const int c = cx.key.key.compare(cy.key.key))
                return c < 0;
            if (const int c = ca.key.record->compareBySortMode(*cb.key.record, mode))
                return c < 0;
        }
        return a.index < b.index;
    });
    for (size_t k = 0; k < items.size(); ++k)
        indexes[k] = items[k].index;
    return indexes;
}

} // namespace nubo
