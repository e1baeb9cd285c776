#include "ui/files/KZChangeBatch.h"

#include "foundation/ParallelFor.h"
#include "ui/files/KZLocalFileInfo.h"

#include <algorithm>

KZChangeBatch::KZChangeBatch(const QList<CloudFileInfoPtr>& changes, int sortMode) : m_sortMode(sortMode) {
    const bool byName = sortMode == 0 || sortMode == 1;
    size_t size = 64;
    while (size < size_t(changes.size()) * 2)
        size *= 2;
    m_rows.resize(size);
    m_bits.assign(size / 8, 0); // 16 to 32 bits per change
    m_changes.reserve(size_t(changes.size()));
    for (qsizetype i = 0; i < changes.size(); ++i) {
        // The records and their keys lie scattered: both are fetched a few ahead, so that the
        // misses overlap.
        if (i + 8 < changes.size())
            __builtin_prefetch(changes.at(i + 8).get());
        if (byName && i + 4 < changes.size() && changes.at(i + 4) && !changes.at(i + 4)->isDeleted())
            __builtin_prefetch(changes.at(i + 4)->nameSortKey().constData());
        const CloudFileInfo* f = changes.at(i).get();
        if (!f)
            continue;
        Change c;
        c.record = &changes.at(i);
        c.deleted = f->isDeleted();
        // A removed node is never placed: its name key, which may still have to be made, is not
        // asked for.
        c.key = CloudFileList::keyOf(*f, c.deleted ? 2 : sortMode);
        if (c.deleted) {
            c.key.key = {};
        } else if (byName) {
            const qsizetype len = std::min<qsizetype>(c.key.key.size(), 32);
            for (qsizetype b = 0; b < len; ++b)
                c.prefix[b / 8] |= quint64(quint8(c.key.key[b])) << (56 - 8 * (b % 8));
        } else {
            c.prefix[0] = quint64(qint64(c.key.mtime) + (qint64(1) << 32));
        }
        c.node = insert(c.key.nid);
        m_changes.push_back(c);
    }
}

quint32 KZChangeBatch::insert(qint64 nid) {
    const size_t b = bit(nid);
    m_bits[b / 64] |= quint64(1) << (b % 64);
    for (size_t s = slot(nid);; s = (s + 1) & (m_rows.size() - 1)) {
        Row& r = m_rows[s];
        if (r.used && r.nid != nid)
            continue;
        r.used = true;
        r.nid = nid;
        return quint32(s);
    }
}

qint64 KZChangeBatch::find(qint64 nid) const {
    const size_t b = bit(nid);
    if (!(m_bits[b / 64] >> (b % 64) & 1))
        return -1;
    for (size_t s = slot(nid); m_rows[s].used; s = (s + 1) & (m_rows.size() - 1))
        if (m_rows[s].nid == nid)
            return qint64(s);
    return -1;
}

void KZChangeBatch::findRows(const CloudFileList& files) {
    // Each part notes its hits; they are taken in row order after, so a node listed twice ends
    // at its last row, as a pass in order would leave it.
    struct Hit {
        qsizetype row;
        quint32 node;
    };
    const qsizetype count = files.size();
    const int parts = nubo::parallelParts(count * 64, 1 << 20);
    std::vector<std::vector<Hit>> hits{size_t(parts)};
    nubo::parallelFor(parts, [&](int part) {
        files.forEachNid(
            [&](qsizetype row, qint64 nid) {
                if (const qint64 node = find(nid); node >= 0)
                    hits[size_t(part)].push_back({row, quint32(node)});
            },
            count * part / parts, count * (part + 1) / parts);
    });
    for (const auto& part : hits)
        for (const Hit& hit : part) {
            const CloudFileInfo* made = files.made(hit.row);
            if (KZLocalFileInfo::isLocal(made))
                continue;
            Row& r = m_rows[hit.node];
            r.row = int(hit.row);
            r.dir = made ? made->isDirectory() : files.isDirectory(hit.row);
            // Only a row whose record was made can carry a selection.
            r.selected = made && made->selected();
        }
}

std::vector<qsizetype> KZChangeBatch::sorted(std::vector<qsizetype> indexes) const {
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
            if (const int c = (*ca.record)->compareBySortMode(**cb.record, mode))
                return c < 0;
        }
        return a.index < b.index;
    });
    for (size_t k = 0; k < items.size(); ++k)
        indexes[k] = items[k].index;
    return indexes;
}
