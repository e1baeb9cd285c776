#include "cloud/KZNodeTree.h"

#include "cloud/NameCollation.h"
#include "foundation/ParallelFor.h"

#include <QHash>
#include <algorithm>
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nubo {

namespace {

NodeRecord rootRecord() {
    NodeRecord root;
    root.nid = 0;
    root.pid = -1;
    root.name = QStringLiteral("/");
    root.path = QStringLiteral("/");
    root.isDir = true;
    return root;
}

// Calls onHit(at) for each match of `needle` in base[begin, end) from left to right; onHit says
// where to go on (past `at`). Checks 16 places at once for the needle's first and last bytes, so
// a dense run of hits costs no set-up per hit as repeated memmem calls do.
template <class F>
void forEachMatch(const char* base, qsizetype begin, qsizetype end, const QByteArray& needle, F onHit) {
    const qsizetype n = needle.size();
    const char* k = needle.constData();
    qsizetype i = begin;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(k[0]);
    const __m128i lastByte = _mm_set1_epi8(k[n - 1]);
    while (i + n - 1 + 16 <= end) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + n - 1));
        unsigned mask =
            unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, lastByte))));
        qsizetype next = i + 16;
        while (mask) {
            const qsizetype at = i + __builtin_ctz(mask);
            if (n <= 2 || memcmp(base + at + 1, k + 1, size_t(n - 2)) == 0) {
                next = onHit(at);
                break;
            }
            mask &= mask - 1;
        }
        i = next;
    }
#endif
    while (i + n <= end) {
        const void* hit = memmem(base + i, size_t(end - i), k, size_t(n));
        if (!hit)
            return;
        i = onHit(static_cast<const char*>(hit) - base);
    }
}

} // namespace

KZNodeTree::KZNodeTree() {
    clear();
}

void KZNodeTree::clear() {
    QWriteLocker lock(&m_lock);
    m_entries.clear();
    m_free.clear();
    m_slots.clear();
    m_names.clear();
    m_segStart.clear();
    m_segSlot.clear();
    m_deadSegments = 0;
    m_live = 0;
    Entry root;
    root.rec = rootRecord();
    root.alive = true;
    m_entries.push_back(std::move(root));
    m_slots.insert(0, 0);
}

void KZNodeTree::reset(const NodeList& nodes) {
    clear();
    QWriteLocker lock(&m_lock);
    m_entries.reserve(size_t(nodes.size()) + 1);
    m_slots.reserve(nodes.size() + 1);
    m_names.reserve(nodes.size() * 16);
    m_segStart.reserve(size_t(nodes.size()));
    m_segSlot.reserve(size_t(nodes.size()));
    std::vector<int> added;
    added.reserve(size_t(nodes.size()));
    for (const NodeRecord& n : nodes) {
        if (n.nid <= 0 || n.isDeleted() || m_slots.contains(n.nid))
            continue;
        added.push_back(addEntry(n));
    }
    // Parents may come after their children: link once every node is known.
    for (int slot : added) {
        const int parent = slotOf(m_entries[slot].rec.pid);
        if (parent >= 0 && m_entries[parent].rec.isDir)
            m_entries[parent].children.push_back(slot);
    }
    // Drop what hangs from no live folder (a cycle or a missing parent), with its subtree.
    std::vector<char> reached(m_entries.size(), 0);
    std::vector<int> stack{0};
    reached[0] = 1;
    while (!stack.empty()) {
        const int s = stack.back();
        stack.pop_back();
        for (int c : m_entries[s].children)
            if (!reached[c]) {
                reached[c] = 1;
                stack.push_back(c);
            }
    }
    for (int slot : added)
        if (!reached[slot] && m_entries[slot].alive) {
            m_entries[slot].alive = false;
            m_slots.remove(m_entries[slot].rec.nid);
            m_free.push_back(slot);
            dropSegment(m_entries[slot]);
            --m_live;
        }
    compactIfNeeded();
}

int KZNodeTree::addEntry(const NodeRecord& rec) {
    int slot;
    if (!m_free.empty()) {
        slot = m_free.back();
        m_free.pop_back();
        m_entries[slot] = Entry();
    } else {
        slot = int(m_entries.size());
        m_entries.emplace_back();
    }
    Entry& e = m_entries[slot];
    e.rec = rec;
    e.rec.path.clear();
    e.key = collation::sortKey(rec.name);
    e.alive = true;
    m_slots.insert(rec.nid, slot);
    ++m_live;
    addSegment(slot);
    return slot;
}

void KZNodeTree::addSegment(int slot) {
    Entry& e = m_entries[slot];
    dropSegment(e);
    e.segment = int(m_segStart.size());
    m_segStart.push_back(m_names.size());
    m_segSlot.push_back(slot);
    m_names.append('\0');
    m_names.append(collation::searchFold(e.rec.name));
}

void KZNodeTree::dropSegment(Entry& e) {
    if (e.segment < 0)
        return;
    m_segSlot[size_t(e.segment)] = -1; // a search skips it without reading the entry
    e.segment = -1;
    ++m_deadSegments;
}

void KZNodeTree::link(int slot) {
    const int parent = slotOf(m_entries[slot].rec.pid);
    if (parent >= 0)
        m_entries[parent].children.push_back(slot);
}

void KZNodeTree::unlink(int slot) {
    const int parent = slotOf(m_entries[slot].rec.pid);
    if (parent < 0)
        return;
    auto& siblings = m_entries[parent].children;
    auto it = std::find(siblings.begin(), siblings.end(), slot);
    if (it != siblings.end()) {
        *it = siblings.back();
        siblings.pop_back();
    }
}

void KZNodeTree::removeSubtree(int slot) {
    unlink(slot);
    std::vector<int> stack{slot};
    while (!stack.empty()) {
        const int s = stack.back();
        stack.pop_back();
        Entry& e = m_entries[s];
        for (int c : e.children)
            stack.push_back(c);
        e.children.clear();
        e.alive = false;
        m_slots.remove(e.rec.nid);
        m_free.push_back(s);
        dropSegment(e);
        --m_live;
    }
}

QList<KZNodeTree::Change> KZNodeTree::apply(const NodeList& changes) {
    QWriteLocker lock(&m_lock);
    QList<Change> out;
    for (const NodeRecord& n : changes) {
        if (n.nid <= 0)
            continue; // the root never changes
        Change c;
        c.node = n;
        const int slot = slotOf(n.nid);
        if (slot >= 0) {
            const Entry& e = m_entries[slot];
            c.existed = true;
            c.oldPid = e.rec.pid;
            c.oldName = e.rec.name;
            c.wasDir = e.rec.isDir;
        }
        if (n.isDeleted()) {
            if (slot >= 0)
                removeSubtree(slot);
        } else {
            const int parent = slotOf(n.pid);
            if (parent < 0 || !m_entries[parent].rec.isDir || (slot >= 0 && isInSubtree(parent, slot))) {
                // A change that cannot be placed (no such folder, or a move into its own
                // subtree): the node is treated as gone rather than kept where it is not.
                if (slot >= 0)
                    removeSubtree(slot);
                if (!c.existed)
                    continue;
                c.node.status = 1;
            } else if (slot < 0) {
                link(addEntry(n));
            } else {
                Entry& e = m_entries[slot];
                const bool moved = e.rec.pid != n.pid;
                const bool renamed = e.rec.name != n.name;
                if (moved)
                    unlink(slot);
                std::vector<int> kids = std::move(e.children);
                e.rec = n;
                e.rec.path.clear();
                if (n.isDir) {
                    e.children = std::move(kids);
                } else {
                    for (int k : kids) // a folder that became a file keeps no children
                        removeSubtree(k);
                }
                if (renamed) {
                    e.key = collation::sortKey(n.name);
                    addSegment(slot);
                }
                if (moved)
                    link(slot);
            }
        }
        out.append(c);
    }
    compactIfNeeded();
    return out;
}

bool KZNodeTree::isInSubtree(int slot, int root) const {
    for (int s = slot; s > 0; s = slotOf(m_entries[s].rec.pid))
        if (s == root)
            return true;
    return false;
}

void KZNodeTree::compactIfNeeded() {
    if (m_deadSegments < 1024 || m_deadSegments < m_live)
        return;
    QByteArray names;
    names.reserve(m_names.size());
    std::vector<qsizetype> starts;
    std::vector<int> slots;
    starts.reserve(size_t(m_live));
    slots.reserve(size_t(m_live));
    for (size_t seg = 0; seg < m_segStart.size(); ++seg) {
        const int slot = m_segSlot[seg];
        if (slot < 0)
            continue;
        Entry& e = m_entries[slot];
        const qsizetype begin = m_segStart[seg];
        const qsizetype end = seg + 1 < m_segStart.size() ? m_segStart[seg + 1] : m_names.size();
        e.segment = int(starts.size());
        starts.push_back(names.size());
        slots.push_back(slot);
        names.append(m_names.constData() + begin, end - begin);
    }
    m_names = std::move(names);
    m_segStart = std::move(starts);
    m_segSlot = std::move(slots);
    m_deadSegments = 0;
}

int KZNodeTree::count() const {
    QReadLocker lock(&m_lock);
    return m_live;
}

bool KZNodeTree::contains(qint64 nid) const {
    QReadLocker lock(&m_lock);
    return slotOf(nid) >= 0;
}

bool KZNodeTree::isFolder(qint64 nid) const {
    QReadLocker lock(&m_lock);
    const int slot = slotOf(nid);
    return slot >= 0 && m_entries[slot].rec.isDir;
}

bool KZNodeTree::isUnder(qint64 nid, qint64 ancestor) const {
    QReadLocker lock(&m_lock);
    for (int s = slotOf(nid); s >= 0; s = slotOf(m_entries[s].rec.pid))
        if (m_entries[s].rec.nid == ancestor)
            return true;
    return false;
}

QString KZNodeTree::pathOfSlot(int slot) const {
    if (slot <= 0)
        return QStringLiteral("/");
    QStringList parts;
    for (int s = slot; s > 0; s = slotOf(m_entries[s].rec.pid))
        parts.prepend(m_entries[s].rec.name);
    return u'/' + parts.join(u'/');
}

CloudFileInfoPtr KZNodeTree::fileInfoFromRecord(const NodeRecord& r, const QString& path) {
    auto f = CloudFileInfo::create();
    f->setNid(r.nid);
    f->setPid(r.pid);
    f->setName(r.name);
    f->setPath(path);
    f->setIsDirectory(r.isDir);
    f->setM_size(r.size);
    f->setM_fmtime(r.mtime);
    f->setM_fctime(r.ctime);
    f->setM_category(r.category);
    f->setM_fileHash(r.fileHash);
    f->setM_status(r.status);
    f->setM_isLink(r.isLink);
    f->setM_isSync(r.isSync);
    f->setM_isEditLock(r.isEditLock);
    f->setM_version(r.version);
    return f;
}

CloudFileInfoPtr KZNodeTree::makeInfo(int slot, const QString& path) const {
    const Entry& e = m_entries[slot];
    auto f = fileInfoFromRecord(e.rec, path);
    f->setNameSortKey(e.key);
    return f;
}

CloudFileInfoPtr KZNodeTree::fileInfo(qint64 nid) const {
    QReadLocker lock(&m_lock);
    const int slot = slotOf(nid);
    if (slot < 0)
        return nullptr;
    if (slot == 0)
        return CloudFileInfo::rootFile();
    return makeInfo(slot, pathOfSlot(slot));
}

qint64 KZNodeTree::nidForPath(const QString& path) const {
    if (!path.startsWith(u'/'))
        return -1;
    QReadLocker lock(&m_lock);
    int slot = 0;
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        int found = -1;
        for (int c : m_entries[slot].children)
            if (m_entries[c].rec.name == part) {
                found = c;
                break;
            }
        if (found < 0)
            return -1;
        slot = found;
    }
    return m_entries[slot].rec.nid;
}

void KZNodeTree::sortSlots(std::vector<int>& slots, int sortMode) const {
    // Folders first, then the mode's order; ties fall to the exact name and the node id so the
    // order is total. The comparison works on small copies (the kind and the first 16 bytes of
    // the key, or the time) so that most steps never touch the entries themselves.
    struct Item {
        quint64 hi;
        quint64 lo;
        int slot;
        bool dir;
    };
    const bool byName = sortMode == 0 || sortMode == 1;
    const bool descending = sortMode != 0 && sortMode != 2;
    std::vector<Item> items;
    items.reserve(slots.size());
    for (int s : slots) {
        const Entry& e = m_entries[s];
        Item it{0, 0, s, e.rec.isDir};
        if (byName) {
            const char* k = e.key.constData();
            const qsizetype n = e.key.size();
            for (qsizetype i = 0; i < 16; ++i) {
                const quint64 b = i < n ? quint8(k[i]) : 0;
                if (i < 8)
                    it.hi = (it.hi << 8) | b;
                else
                    it.lo = (it.lo << 8) | b;
            }
        } else {
            it.hi = quint64(qint64(e.rec.mtime) + (qint64(1) << 32));
        }
        items.push_back(it);
    }
    auto less = [&](const Item& a, const Item& b) {
        if (a.dir != b.dir)
            return a.dir;
        const Item& x = descending ? b : a;
        const Item& y = descending ? a : b;
        if (x.hi != y.hi)
            return x.hi < y.hi;
        if (x.lo != y.lo)
            return x.lo < y.lo;
        const Entry& ex = m_entries[x.slot];
        const Entry& ey = m_entries[y.slot];
        if (byName) {
            if (int c = ex.key.compare(ey.key))
                return c < 0;
            if (int c = ex.rec.name.compare(ey.rec.name))
                return c < 0;
        }
        return ex.rec.nid < ey.rec.nid;
    };
    std::sort(items.begin(), items.end(), less);
    for (size_t i = 0; i < items.size(); ++i)
        slots[i] = items[i].slot;
}

QList<CloudFileInfoPtr> KZNodeTree::list(qint64 folder, bool foldersOnly, int sortMode) const {
    QReadLocker lock(&m_lock);
    const int slot = slotOf(folder);
    if (slot < 0)
        return {};
    std::vector<int> kids;
    kids.reserve(m_entries[slot].children.size());
    for (int c : m_entries[slot].children)
        if (!foldersOnly || m_entries[c].rec.isDir)
            kids.push_back(c);
    sortSlots(kids, sortMode);
    QString base = pathOfSlot(slot);
    if (!base.endsWith(u'/'))
        base += u'/';
    QList<CloudFileInfoPtr> out;
    out.reserve(qsizetype(kids.size()));
    for (int c : kids)
        out.append(makeInfo(c, base + m_entries[c].rec.name));
    return out;
}

void KZNodeTree::scanSegments(size_t first, size_t last, const QByteArray& needle,
                              std::vector<int>& hits) const {
    const qsizetype begin = first < m_segStart.size() ? m_segStart[first] : m_names.size();
    const qsizetype end = last < m_segStart.size() ? m_segStart[last] : m_names.size();
    size_t seg = first;
    forEachMatch(m_names.constData(), begin, end, needle, [&](qsizetype at) -> qsizetype {
        // Hits come in order and mostly close together: gallop forward from the last segment.
        size_t step = 1, lo = seg, hi = seg + 1;
        while (hi < last && m_segStart[hi] <= at) {
            lo = hi;
            step *= 2;
            hi = std::min(last, hi + step);
        }
        seg = size_t(std::upper_bound(m_segStart.begin() + qsizetype(lo), m_segStart.begin() + qsizetype(hi),
                                      at) -
                     m_segStart.begin()) -
              1;
        if (m_segSlot[seg] >= 0)
            hits.push_back(m_segSlot[seg]);
        ++seg; // one hit per name: go on at the next one
        return seg < last ? m_segStart[seg] : end;
    });
}

std::vector<int> KZNodeTree::searchSlots(int scopeSlot, const QByteArray& needle) const {
    std::vector<int> hits;
    // A zero byte separates the names in the buffer: a key holding one would match across two.
    if (needle.isEmpty() || needle.contains('\0') || scopeSlot < 0)
        return hits;
    // The scan is bound by memory bandwidth: each core takes a run of whole names (a key holds no
    // zero byte, so no match crosses a name's start).
    const int parts = parallelParts(m_names.size(), 1 << 20);
    std::vector<size_t> bounds(size_t(parts) + 1, m_segStart.size());
    for (int p = 1; p < parts; ++p) {
        const qsizetype at = m_names.size() / parts * p;
        bounds[size_t(p)] =
            size_t(std::lower_bound(m_segStart.begin(), m_segStart.end(), at) - m_segStart.begin());
    }
    bounds[0] = 0;
    std::vector<std::vector<int>> found(static_cast<size_t>(parts));
    parallelFor(parts, [&](int p) {
        scanSegments(bounds[size_t(p)], bounds[size_t(p) + 1], needle, found[size_t(p)]);
    });
    size_t n = 0;
    for (const auto& f : found)
        n += f.size();
    hits.reserve(n);
    if (scopeSlot == 0) {
        for (const auto& f : found)
            hits.insert(hits.end(), f.begin(), f.end());
        return hits;
    }
    // Whether a folder lies in the scope, remembered per folder: hits share their parents. The
    // climb is a loop, so a very deep tree cannot exhaust the stack.
    QHash<int, bool> inScope;
    std::vector<int> climbed;
    auto under = [&](int folder) -> bool {
        climbed.clear();
        bool r = false;
        for (;;) {
            if (folder == scopeSlot) {
                r = true;
                break;
            }
            if (folder <= 0)
                break;
            auto it = inScope.constFind(folder);
            if (it != inScope.constEnd()) {
                r = *it;
                break;
            }
            climbed.push_back(folder);
            folder = slotOf(m_entries[folder].rec.pid);
        }
        for (int f : climbed)
            inScope.insert(f, r);
        return r;
    };
    for (const auto& f : found)
        for (int slot : f)
            if (under(slotOf(m_entries[slot].rec.pid)))
                hits.push_back(slot);
    return hits;
}

std::vector<qint64> KZNodeTree::searchNids(qint64 scope, const QString& key) const {
    QReadLocker lock(&m_lock);
    const std::vector<int> slots = searchSlots(slotOf(scope), collation::searchFold(key));
    std::vector<qint64> nids;
    nids.reserve(slots.size());
    for (int s : slots)
        nids.push_back(m_entries[s].rec.nid);
    return nids;
}

QList<CloudFileInfoPtr> KZNodeTree::search(qint64 scope, const QString& key, int sortMode) const {
    QReadLocker lock(&m_lock);
    std::vector<int> slots = searchSlots(slotOf(scope), collation::searchFold(key));
    sortSlots(slots, sortMode);
    QHash<int, QString> folderPaths;
    QList<CloudFileInfoPtr> out;
    out.reserve(qsizetype(slots.size()));
    for (int s : slots) {
        const int parent = slotOf(m_entries[s].rec.pid);
        auto it = folderPaths.find(parent);
        if (it == folderPaths.end()) {
            QString p = pathOfSlot(parent);
            if (!p.endsWith(u'/'))
                p += u'/';
            it = folderPaths.insert(parent, p);
        }
        out.append(makeInfo(s, *it + m_entries[s].rec.name));
    }
    return out;
}

} // namespace nubo
