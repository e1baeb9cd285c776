#include "cloud/KZNodeTree.h"

#include "cloud/NameCollation.h"
#include "foundation/ParallelFor.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <memory>
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nubo {

namespace {

// Listings and hit lists at least this long are copied on several cores.
constexpr size_t kParallelRecords = 4096;

void appendVarint(QByteArray& out, quint32 v) {
    while (v >= 0x80) {
        out.append(char(v | 0x80));
        v >>= 7;
    }
    out.append(char(v));
}

quint32 readVarint(const char*& p) {
    quint32 v = 0;
    for (int shift = 0;; shift += 7) {
        const quint8 b = quint8(*p++);
        v |= quint32(b & 0x7f) << shift;
        if (!(b & 0x80))
            return v;
    }
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
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

// Room for `extra` more items, growing a large table by a sixteenth instead of doubling it: a
// million-node tree would otherwise carry up to as much slack as content after a few changes.
template <class V> void reserveMore(V& v, size_t extra) {
    if (v.size() + extra > v.capacity())
        v.reserve(v.size() + extra + v.size() / 16 + 16);
}

void appendBytes(QByteArray& to, QByteArrayView bytes) {
    if (to.size() + bytes.size() > to.capacity())
        to.reserve(to.size() + bytes.size() + to.size() / 16 + 64);
    to.append(bytes);
}

// std::sort on every core: the items are dealt into ranges between splitters taken from a sample,
// then each range is sorted on its own. `less` must be a strict total order.
template <class T, class Less> void parallelSort(std::vector<T>& v, Less less) {
    const int parts = parallelParts(qint64(v.size()), 32768);
    if (parts <= 1) {
        std::sort(v.begin(), v.end(), less);
        return;
    }
    const size_t n = v.size();
    std::vector<T> splitters;
    const size_t samples = size_t(parts) * 32;
    splitters.reserve(samples);
    for (size_t i = 0; i < samples; ++i)
        splitters.push_back(v[(2 * i + 1) * n / (2 * samples)]);
    std::sort(splitters.begin(), splitters.end(), less);
    for (int b = 1; b < parts; ++b)
        splitters[size_t(b - 1)] = splitters[size_t(b) * samples / size_t(parts)];
    splitters.resize(size_t(parts) - 1);

    // Each part counts its items per range, then writes them where its share of each range starts.
    std::vector<quint16> rangeOf(n);
    std::vector<size_t> counts(size_t(parts) * size_t(parts), 0);
    auto partRange = [&](int p) {
        return std::pair(n * size_t(p) / size_t(parts), n * size_t(p + 1) / size_t(parts));
    };
    parallelFor(parts, [&](int p) {
        const auto [from, to] = partRange(p);
        size_t* count = &counts[size_t(p) * size_t(parts)];
        for (size_t i = from; i < to; ++i) {
            const size_t r =
                size_t(std::upper_bound(splitters.begin(), splitters.end(), v[i], less) - splitters.begin());
            rangeOf[i] = quint16(r);
            ++count[r];
        }
    });
    std::vector<size_t> rangeStart(size_t(parts) + 1, 0);
    std::vector<size_t> at(size_t(parts) * size_t(parts));
    size_t offset = 0;
    for (int r = 0; r < parts; ++r) {
        rangeStart[size_t(r)] = offset;
        for (int p = 0; p < parts; ++p) {
            at[size_t(p) * size_t(parts) + size_t(r)] = offset;
            offset += counts[size_t(p) * size_t(parts) + size_t(r)];
        }
    }
    rangeStart[size_t(parts)] = n;
    std::vector<T> dealt(n);
    parallelFor(parts, [&](int p) {
        const auto [from, to] = partRange(p);
        size_t* next = &at[size_t(p) * size_t(parts)];
        for (size_t i = from; i < to; ++i)
            dealt[next[rangeOf[i]]++] = v[i];
    });
    parallelFor(parts, [&](int r) {
        std::sort(dealt.begin() + qsizetype(rangeStart[size_t(r)]),
                  dealt.begin() + qsizetype(rangeStart[size_t(r) + 1]), less);
    });
    v.swap(dealt);
}

int compareBytes(QByteArrayView a, QByteArrayView b) {
    const int c = memcmp(a.data(), b.data(), size_t(std::min(a.size(), b.size())));
    if (c)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

} // namespace

KZNodeTree::KZNodeTree() {
    clear();
}

// ---- storage of one node

quint8 KZNodeTree::encode(const QString& name, QByteArrayView utf8, const QByteArray& folded,
                          QByteArrayView hash, QByteArray& text) {
    quint8 flags = 0;
    const QByteArray key = collation::sortKey(name);
    appendVarint(text, quint32(key.size()));
    text.append(key);
    if (utf8 == folded) {
        flags |= kNameIsFolded;
    } else {
        appendVarint(text, quint32(utf8.size()));
        text.append(utf8);
    }
    bool binary = hash.size() == 40;
    for (qsizetype i = 0; binary && i < 40; ++i)
        binary = hexValue(QLatin1Char(hash[i])) >= 0;
    if (binary) {
        flags |= kHashBinary;
        for (qsizetype i = 0; i < 40; i += 2)
            text.append(char(hexValue(QLatin1Char(hash[i])) << 4 | hexValue(QLatin1Char(hash[i + 1]))));
    } else {
        appendVarint(text, quint32(hash.size()));
        text.append(hash);
    }
    return flags;
}

quint8 KZNodeTree::kindFlags(bool dir, bool link, bool sync, bool editLock) {
    return quint8((dir ? kDir : 0) | (link ? kLink : 0) | (sync ? kSync : 0) | (editLock ? kEditLock : 0));
}

KZNodeTree::Prepared KZNodeTree::prepare(const NodeRecord& rec) {
    Prepared p;
    p.folded = collation::searchFold(rec.name);
    p.flags = encode(rec.name, rec.name.toUtf8(), p.folded, rec.fileHash.toUtf8(), p.text) |
              kindFlags(rec.isDir, rec.isLink, rec.isSync, rec.isEditLock);
    return p;
}

void KZNodeTree::prefetchText(int slot) const {
    const Entry& e = m_entries[size_t(slot)];
    __builtin_prefetch(m_text.constData() + e.text);
    if ((e.flags & kNameIsFolded) && e.segment >= 0)
        __builtin_prefetch(&m_segStart[size_t(e.segment)]);
}

void KZNodeTree::prefetchName(int slot) const {
    const Entry& e = m_entries[size_t(slot)];
    if ((e.flags & kNameIsFolded) && e.segment >= 0)
        __builtin_prefetch(m_names.constData() + m_segStart[size_t(e.segment)]);
}

KZNodeTree::Text KZNodeTree::textOf(int slot) const {
    const Entry& e = m_entries[size_t(slot)];
    Text t;
    const char* start = m_text.constData() + e.text;
    const char* p = start;
    const quint32 keyLen = readVarint(p);
    t.key = QByteArrayView(p, keyLen);
    p += keyLen;
    if (e.flags & kNameIsFolded) {
        if (e.segment >= 0) {
            const size_t seg = size_t(e.segment);
            const qsizetype begin = qsizetype(m_segStart[seg]) + 1;
            const qsizetype end =
                seg + 1 < m_segStart.size() ? qsizetype(m_segStart[seg + 1]) : m_names.size();
            t.name = QByteArrayView(m_names.constData() + begin, end - begin);
        }
    } else {
        const quint32 nameLen = readVarint(p);
        t.name = QByteArrayView(p, nameLen);
        p += nameLen;
    }
    if (e.flags & kHashBinary) {
        t.hash = QByteArrayView(p, 20);
        p += 20;
    } else {
        const quint32 hashLen = readVarint(p);
        t.hash = QByteArrayView(p, hashLen);
        p += hashLen;
    }
    t.length = quint32(p - start);
    return t;
}

QString KZNodeTree::nameOf(int slot) const {
    if (slot == 0)
        return QStringLiteral("/");
    return QString::fromUtf8(textOf(slot).name);
}

QString KZNodeTree::hashOf(int slot) const {
    const Text t = textOf(slot);
    if (!(m_entries[size_t(slot)].flags & kHashBinary))
        return QString::fromUtf8(t.hash);
    static const char digits[] = "0123456789abcdef";
    QString out(40, Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < 20; ++i) {
        const quint8 b = quint8(t.hash[i]);
        d[2 * i] = QLatin1Char(digits[b >> 4]);
        d[2 * i + 1] = QLatin1Char(digits[b & 15]);
    }
    return out;
}

int KZNodeTree::slotOf(qint64 nid) const {
    if (nid >= 0 && nid < qint64(m_byNid.size())) {
        const int s = m_byNid[size_t(nid)];
        if (s >= 0 || m_sparseNid.isEmpty())
            return s;
    }
    return m_sparseNid.value(nid, -1);
}

void KZNodeTree::mapNid(qint64 nid, int slot) {
    // Node ids are handed out in order, so most fit a table indexed by id; one far beyond the
    // others goes to a hash instead of stretching the table.
    const qint64 limit = 2 * qint64(std::max<size_t>(m_entries.size(), 1 << 16));
    if (nid >= 0 && (nid < qint64(m_byNid.size()) || nid < limit)) {
        if (nid >= qint64(m_byNid.size())) {
            reserveMore(m_byNid, size_t(nid) + 1 - m_byNid.size());
            m_byNid.resize(size_t(nid) + 1, -1);
        }
        m_byNid[size_t(nid)] = slot;
    } else {
        m_sparseNid.insert(nid, slot);
    }
}

void KZNodeTree::unmapNid(qint64 nid) {
    if (nid >= 0 && nid < qint64(m_byNid.size()))
        m_byNid[size_t(nid)] = -1;
    m_sparseNid.remove(nid);
}

int KZNodeTree::newSlot() {
    if (!m_free.empty()) {
        const int slot = m_free.back();
        m_free.pop_back();
        m_entries[size_t(slot)] = Entry();
        return slot;
    }
    reserveMore(m_entries, 1);
    m_entries.emplace_back();
    return int(m_entries.size()) - 1;
}

bool KZNodeTree::setNarrow(Entry& e, quint64 size, qint64 version, qint32 category) {
    if (size > 0xffffffffu || version < 0 || version > 0xffffffffu || category < 0 || category > 0xff) {
        e.size = 0;
        e.version = 0;
        e.category = 0;
        e.flags |= kWide;
        return false;
    }
    e.size = quint32(size);
    e.version = quint32(version);
    e.category = quint8(category);
    e.flags &= quint8(~kWide);
    return true;
}

KZNodeTree::Wide KZNodeTree::fieldsOf(int slot) const {
    const Entry& e = m_entries[size_t(slot)];
    if (e.flags & kWide)
        return m_wide.value(slot);
    return {e.size, qint64(e.version), e.category};
}

void KZNodeTree::store(int slot, qint64 nid, const Wide& fields, qint32 mtime, qint32 ctime, quint8 flags) {
    Entry& e = m_entries[size_t(slot)];
    e.nid = nid;
    e.mtime = mtime;
    e.ctime = ctime;
    e.flags = quint8(kAlive | flags);
    if (setNarrow(e, fields.size, fields.version, fields.category))
        m_wide.remove(slot);
    else
        m_wide.insert(slot, fields);
}

void KZNodeTree::forgetSlot(int slot) {
    Entry& e = m_entries[size_t(slot)];
    m_deadText += textOf(slot).length;
    if (e.flags & kWide)
        m_wide.remove(slot);
    m_children.erase(slot);
    e.flags = 0;
    e.parent = -1;
    unmapNid(e.nid);
    m_free.push_back(slot);
    dropSegment(e);
    --m_live;
}

void KZNodeTree::setText(int slot, const QByteArray& text) {
    Entry& e = m_entries[size_t(slot)];
    e.text = quint32(m_text.size());
    appendBytes(m_text, text);
}

int KZNodeTree::addEntry(const NodeRecord& rec, const Prepared& p) {
    const int slot = newSlot();
    store(slot, rec.nid, {rec.size, rec.version, rec.category}, rec.mtime, rec.ctime, p.flags);
    setText(slot, p.text);
    addSegment(slot, p.folded);
    mapNid(rec.nid, slot);
    ++m_live;
    return slot;
}

void KZNodeTree::addSegment(int slot, const QByteArray& folded) {
    Entry& e = m_entries[size_t(slot)];
    dropSegment(e);
    e.segment = int(m_segStart.size());
    reserveMore(m_segStart, 1);
    reserveMore(m_segSlot, 1);
    m_segStart.push_back(quint32(m_names.size()));
    m_segSlot.push_back(slot);
    reserveMore(m_segDir, 1);
    m_segDir.push_back(e.flags & kDir);
    appendBytes(m_names, QByteArrayView("", 1));
    appendBytes(m_names, folded);
}

void KZNodeTree::dropSegment(Entry& e) {
    if (e.segment < 0)
        return;
    m_segSlot[size_t(e.segment)] = -1; // a search skips it without reading the entry
    e.segment = -1;
    ++m_deadSegments;
}

// ---- whole tree

void KZNodeTree::clear() {
    QWriteLocker lock(&m_lock);
    m_entries = {};
    m_free = {};
    m_byNid = {};
    m_sparseNid.clear();
    m_children = {};
    m_wide.clear();
    m_text = {};
    m_deadText = 0;
    m_names = {};
    m_segStart = {};
    m_segSlot = {};
    m_segDir = {};
    m_deadSegments = 0;
    m_orderedSegs = 0;
    m_live = 0;
    m_entries.emplace_back();
    Entry& root = m_entries.back();
    root.nid = 0;
    root.flags = kAlive | kDir;
    NodeRecord r;
    r.name = QStringLiteral("/");
    setText(0, prepare(r).text);
    mapNid(0, 0);
}

void KZNodeTree::Batch::reserve(qsizetype nodes) {
    m_entries.reserve(size_t(nodes));
    m_pids.reserve(size_t(nodes));
    m_names.reserve(nodes * 20);
    m_text.reserve(nodes * 20);
}

void KZNodeTree::Batch::add(const NodeRecord& rec) {
    if (rec.nid > 0 && !rec.isDeleted())
        add(rec.nid, rec.pid, rec.name, rec.name.toUtf8(), rec.fileHash.toUtf8(),
            {rec.size, rec.version, rec.category}, rec.mtime, rec.ctime,
            kindFlags(rec.isDir, rec.isLink, rec.isSync, rec.isEditLock));
}

void KZNodeTree::Batch::add(const NodeRowView& row) {
    if (row.nid > 0 && row.status == 0)
        add(row.nid, row.pid, QString::fromUtf8(row.name), row.name, row.hash,
            {row.size, row.version, row.category}, row.mtime, row.ctime,
            kindFlags(row.isDir, row.isLink, row.isSync, row.isEditLock));
}

void KZNodeTree::Batch::add(qint64 nid, qint64 pid, const QString& name, QByteArrayView utf8,
                            QByteArrayView hash, const Wide& fields, qint32 mtime, qint32 ctime,
                            quint8 kind) {
    const QByteArray folded = collation::searchFold(name);
    Entry e;
    e.nid = nid;
    e.mtime = mtime;
    e.ctime = ctime;
    e.text = quint32(m_text.size());
    e.segment = int(m_names.size());
    e.flags = quint8(kAlive | kind | encode(name, utf8, folded, hash, m_text));
    if (!setNarrow(e, fields.size, fields.version, fields.category))
        m_wide.emplace_back(m_entries.size(), fields);
    m_names.append('\0');
    m_names.append(folded);
    m_entries.push_back(e);
    m_pids.push_back(pid);
    m_maxNid = std::max(m_maxNid, nid);
}

void KZNodeTree::reset(const NodeList& nodes) {
    // Keys and folded names on every core, each part into a batch of its own.
    const int parts = parallelParts(nodes.size(), 8192);
    std::vector<Batch> batches(static_cast<size_t>(parts));
    parallelFor(parts, [&](int part) {
        const qsizetype from = nodes.size() * part / parts;
        const qsizetype to = nodes.size() * (part + 1) / parts;
        Batch& b = batches[size_t(part)];
        b.reserve(to - from);
        for (qsizetype i = from; i < to; ++i)
            b.add(nodes[i]);
    });
    reset(std::move(batches));
}

void KZNodeTree::reset(std::vector<Batch>&& batches) {
    clear();
    QWriteLocker lock(&m_lock);
    linkParents(takeBatches(batches));
    dropUnreachable();
    // One sort puts every node in name order: each folder's children follow it, and so does the
    // search buffer, so that searches find their hits already sorted.
    const std::vector<int> byName = slotsByName();
    std::vector<std::vector<int>*> listOf(m_entries.size(), nullptr);
    for (auto& [folder, kids] : m_children) {
        kids.clear();
        listOf[size_t(folder)] = &kids;
    }
    for (int slot : byName)
        listOf[size_t(m_entries[size_t(slot)].parent)]->push_back(slot);
    layOutSearchBuffer(byName);
    compactIfNeeded();
}

std::vector<qint64> KZNodeTree::takeBatches(std::vector<Batch>& batches) {
    size_t count = 0;
    qsizetype namesSize = 0, textSize = m_text.size();
    qint64 maxNid = 0;
    for (const Batch& b : batches) {
        count += b.m_entries.size();
        namesSize += b.m_names.size();
        textSize += b.m_text.size();
        maxNid = std::max(maxNid, b.m_maxNid);
    }
    m_names.reserve(namesSize);
    m_text.reserve(textSize);
    m_entries.reserve(count + 1);
    m_segStart.reserve(count);
    m_segSlot.reserve(count);
    // The id table sized once, exactly; ids far beyond the rest go to the hash as mapNid does.
    const qint64 dense = 2 * qint64(std::max<size_t>(count + 1, 1 << 16));
    m_byNid.assign(size_t(std::min(maxNid, dense - 1)) + 1, -1);
    m_byNid[0] = 0;
    std::vector<qint64> pids;
    pids.reserve(count + 1);
    pids.push_back(-1);
    for (Batch& b : batches) {
        const quint32 nameBase = quint32(m_names.size());
        const quint32 textBase = quint32(m_text.size());
        m_names.append(b.m_names);
        m_text.append(b.m_text);
        auto wide = b.m_wide.cbegin();
        for (size_t j = 0; j < b.m_entries.size(); ++j) {
            Entry e = b.m_entries[j];
            m_segStart.push_back(nameBase + quint32(e.segment));
            if (slotOf(e.nid) >= 0) {
                // A second record of one id: the first is kept, this one's bytes are dead.
                m_segSlot.push_back(-1);
                ++m_deadSegments;
                const quint32 end =
                    j + 1 < b.m_entries.size() ? b.m_entries[j + 1].text : quint32(b.m_text.size());
                m_deadText += end - e.text;
                continue;
            }
            const int slot = int(m_entries.size());
            e.text += textBase;
            e.segment = int(m_segSlot.size());
            m_segSlot.push_back(slot);
            m_entries.push_back(e);
            if (e.nid < qint64(m_byNid.size()))
                m_byNid[size_t(e.nid)] = slot;
            else
                m_sparseNid.insert(e.nid, slot);
            pids.push_back(b.m_pids[j]);
            while (wide != b.m_wide.cend() && wide->first < j)
                ++wide;
            if (wide != b.m_wide.cend() && wide->first == j)
                m_wide.insert(slot, wide->second);
            ++m_live;
        }
        b = Batch();
    }
    return pids;
}

void KZNodeTree::linkParents(std::vector<qint64>&& pids) {
    // Parents may come after their children: linked once every node is known, each list sized
    // exactly.
    std::vector<int> kidCount(m_entries.size(), 0);
    for (size_t slot = 1; slot < m_entries.size(); ++slot) {
        const int parent = slotOf(pids[slot]);
        if (parent >= 0 && (m_entries[size_t(parent)].flags & kDir)) {
            m_entries[slot].parent = parent;
            ++kidCount[size_t(parent)];
        }
    }
    pids = {};
    size_t folders = 0;
    for (int n : kidCount)
        folders += n > 0;
    m_children.reserve(folders);
    for (size_t slot = 0; slot < kidCount.size(); ++slot)
        if (kidCount[slot] > 0)
            m_children[int(slot)].reserve(size_t(kidCount[slot]));
    kidCount = {};
    for (size_t slot = 1; slot < m_entries.size(); ++slot)
        if (const int parent = m_entries[slot].parent; parent >= 0)
            m_children[parent].push_back(int(slot));
}

void KZNodeTree::dropUnreachable() {
    std::vector<char> reached(m_entries.size(), 0);
    std::vector<int> stack{0};
    reached[0] = 1;
    while (!stack.empty()) {
        const int s = stack.back();
        stack.pop_back();
        if (const std::vector<int>* kids = childrenOf(s))
            for (int c : *kids)
                if (!reached[size_t(c)]) {
                    reached[size_t(c)] = 1;
                    stack.push_back(c);
                }
    }
    for (size_t s = 1; s < m_entries.size(); ++s)
        if (!reached[s])
            forgetSlot(int(s));
}

// ---- children in name order

bool KZNodeTree::nameLess(int a, int b) const {
    const Text ta = textOf(a), tb = textOf(b);
    if (const int c = compareBytes(ta.key, tb.key))
        return c < 0;
    if (ta.name != tb.name) {
        // Equal keys (names differing in case only): the exact names in UTF-16 order, as records
        // compare them.
        if (const int c = QString::fromUtf8(ta.name).compare(QString::fromUtf8(tb.name)))
            return c < 0;
    }
    return m_entries[size_t(a)].nid < m_entries[size_t(b)].nid;
}

std::vector<int>& KZNodeTree::childList(int folder) {
    return m_children[folder];
}

const std::vector<int>* KZNodeTree::childrenOf(int folder) const {
    const auto it = m_children.find(folder);
    return it == m_children.end() ? nullptr : &it->second;
}

void KZNodeTree::linkSorted(int slot) {
    const int parent = m_entries[size_t(slot)].parent;
    if (parent < 0)
        return;
    std::vector<int>& kids = childList(parent);
    reserveMore(kids, 1);
    kids.insert(
        std::upper_bound(kids.begin(), kids.end(), slot, [&](int a, int b) { return nameLess(a, b); }), slot);
}

void KZNodeTree::unlinkSorted(int slot) {
    const int parent = m_entries[size_t(slot)].parent;
    const auto found = m_children.find(parent);
    if (parent < 0 || found == m_children.end())
        return;
    std::vector<int>& kids = found->second;
    auto it = std::lower_bound(kids.begin(), kids.end(), slot, [&](int a, int b) { return nameLess(a, b); });
    if (it == kids.end() || *it != slot)
        it = std::find(kids.begin(), kids.end(), slot);
    if (it != kids.end())
        kids.erase(it);
}

void KZNodeTree::removeSubtree(int slot) {
    unlinkSorted(slot);
    std::vector<int> stack{slot};
    while (!stack.empty()) {
        const int s = stack.back();
        stack.pop_back();
        if (const std::vector<int>* kids = childrenOf(s))
            stack.insert(stack.end(), kids->begin(), kids->end());
        forgetSlot(s);
    }
}

// ---- changes

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
            c.existed = true;
            c.oldPid = m_entries[size_t(m_entries[size_t(slot)].parent)].nid;
            c.oldName = nameOf(slot);
            c.wasDir = m_entries[size_t(slot)].flags & kDir;
        }
        if (n.isDeleted()) {
            if (slot >= 0)
                removeSubtree(slot);
        } else {
            const int parent = slotOf(n.pid);
            if (parent < 0 || !(m_entries[size_t(parent)].flags & kDir) ||
                (slot >= 0 && isInSubtree(parent, slot))) {
                // A change that cannot be placed (no such folder, or a move into its own
                // subtree): the node is treated as gone rather than kept where it is not.
                if (slot >= 0)
                    removeSubtree(slot);
                if (!c.existed)
                    continue;
                c.node.status = 1;
            } else if (slot < 0) {
                const int added = addEntry(n, prepare(n));
                m_entries[size_t(added)].parent = parent;
                linkSorted(added);
            } else {
                const Prepared p = prepare(n);
                const Text old = textOf(slot);
                const bool renamed = c.oldName != n.name;
                const bool moved = m_entries[size_t(slot)].parent != parent;
                if (moved || renamed)
                    unlinkSorted(slot);
                const QByteArrayView oldText(m_text.constData() + m_entries[size_t(slot)].text, old.length);
                const quint8 layout = kNameIsFolded | kHashBinary;
                if (oldText != QByteArrayView(p.text) ||
                    (m_entries[size_t(slot)].flags & layout) != (p.flags & layout)) {
                    if (p.text.size() <= old.length) {
                        // Written over the old bytes: a rename does not grow the buffer.
                        memcpy(m_text.data() + m_entries[size_t(slot)].text, p.text.constData(),
                               size_t(p.text.size()));
                        m_deadText += old.length - p.text.size();
                    } else {
                        m_deadText += old.length;
                        setText(slot, p.text);
                    }
                }
                store(slot, n.nid, {n.size, n.version, n.category}, n.mtime, n.ctime, p.flags);
                // A new name, or a folder turned file, goes to the unordered end of the search
                // buffer: its place in the ordered part is no longer right.
                if (renamed || c.wasDir != n.isDir)
                    addSegment(slot, p.folded);
                if (const std::vector<int>* kids = n.isDir ? nullptr : childrenOf(slot)) {
                    // A folder that became a file keeps no children.
                    for (int k : std::vector<int>(*kids))
                        removeSubtree(k);
                    m_children.erase(slot);
                }
                m_entries[size_t(slot)].parent = parent;
                if (moved || renamed)
                    linkSorted(slot);
            }
        }
        out.append(c);
    }
    compactIfNeeded();
    return out;
}

bool KZNodeTree::isInSubtree(int slot, int root) const {
    for (int s = slot; s > 0; s = m_entries[size_t(s)].parent)
        if (s == root)
            return true;
    return false;
}

void KZNodeTree::compactIfNeeded() {
    // Searches sort the names added since the buffer was laid out: keep them a small share.
    if (m_segStart.size() - m_orderedSegs >= std::max<size_t>(4096, size_t(m_live) / 8)) {
        layOutSearchBuffer(slotsByName());
    } else if (m_deadSegments >= 1024 && m_deadSegments >= m_live) {
        // Dropping the dead names keeps the order of the others.
        QByteArray names;
        names.reserve(m_names.size());
        std::vector<quint32> starts;
        std::vector<int> slots;
        std::vector<bool> dirs;
        starts.reserve(size_t(m_live));
        slots.reserve(size_t(m_live));
        dirs.reserve(size_t(m_live));
        size_t ordered = 0;
        for (size_t seg = 0; seg < m_segStart.size(); ++seg) {
            const int slot = m_segSlot[seg];
            if (slot < 0)
                continue;
            if (seg < m_orderedSegs)
                ++ordered;
            const qsizetype begin = m_segStart[seg];
            const qsizetype end =
                seg + 1 < m_segStart.size() ? qsizetype(m_segStart[seg + 1]) : m_names.size();
            m_entries[size_t(slot)].segment = int(starts.size());
            starts.push_back(quint32(names.size()));
            slots.push_back(slot);
            dirs.push_back(m_segDir[seg]);
            names.append(m_names.constData() + begin, end - begin);
        }
        m_names = std::move(names);
        m_segStart = std::move(starts);
        m_segSlot = std::move(slots);
        m_segDir = std::move(dirs);
        m_orderedSegs = ordered;
        m_deadSegments = 0;
    }
    if (m_deadText >= (1 << 20) && m_deadText >= m_text.size() - m_deadText) {
        QByteArray text;
        text.reserve(m_text.size() - m_deadText);
        for (size_t s = 0; s < m_entries.size(); ++s) {
            Entry& e = m_entries[s];
            if (!(e.flags & kAlive))
                continue;
            const Text t = textOf(int(s));
            const quint32 at = quint32(text.size());
            text.append(m_text.constData() + e.text, t.length);
            e.text = at;
        }
        m_text = std::move(text);
        m_deadText = 0;
    }
}

// ---- reading

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
    return slot >= 0 && (m_entries[size_t(slot)].flags & kDir);
}

bool KZNodeTree::isUnder(qint64 nid, qint64 ancestor) const {
    QReadLocker lock(&m_lock);
    for (int s = slotOf(nid); s >= 0; s = m_entries[size_t(s)].parent)
        if (m_entries[size_t(s)].nid == ancestor)
            return true;
    return false;
}

qint64 KZNodeTree::memoryBytes() const {
    QReadLocker lock(&m_lock);
    // Hash nodes counted as their pair plus a next pointer and an allocation header.
    qint64 bytes = qint64(m_entries.capacity() * sizeof(Entry)) + qint64(m_free.capacity() * sizeof(int)) +
                   qint64(m_byNid.capacity() * sizeof(int)) + qint64(m_sparseNid.capacity()) * 24 +
                   qint64(m_wide.capacity()) * qint64(sizeof(Wide) + 16) +
                   qint64(m_children.bucket_count() * sizeof(void*)) +
                   qint64(m_children.size() * (sizeof(std::pair<const int, std::vector<int>>) + 16)) +
                   m_text.capacity() + m_names.capacity() + qint64(m_segStart.capacity() * sizeof(quint32)) +
                   qint64(m_segSlot.capacity() * sizeof(int)) + qint64(m_segDir.capacity() / 8);
    for (const auto& [folder, kids] : m_children)
        bytes += qint64(kids.capacity() * sizeof(int));
    return bytes;
}

QString KZNodeTree::pathOfSlot(int slot) const {
    if (slot <= 0)
        return QStringLiteral("/");
    QStringList parts;
    for (int s = slot; s > 0; s = m_entries[size_t(s)].parent)
        parts.prepend(nameOf(s));
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
    const Entry& e = m_entries[size_t(slot)];
    const Wide w = fieldsOf(slot);
    const Text t = textOf(slot);
    auto f = CloudFileInfo::create();
    f->setNid(e.nid);
    f->setPid(e.parent >= 0 ? m_entries[size_t(e.parent)].nid : -1);
    f->setName(QString::fromUtf8(t.name));
    f->setPath(path);
    f->setIsDirectory(e.flags & kDir);
    f->setM_size(w.size);
    f->setM_fmtime(e.mtime);
    f->setM_fctime(e.ctime);
    f->setM_category(w.category);
    if (!t.hash.isEmpty())
        f->setM_fileHash(hashOf(slot));
    f->setM_isLink(e.flags & kLink);
    f->setM_isSync(e.flags & kSync);
    f->setM_isEditLock(e.flags & kEditLock);
    f->setM_version(w.version);
    f->setNameSortKey(t.key.toByteArray());
    return f;
}

void KZNodeTree::appendRow(ListedRows& rows, int slot, quint32 folder) const {
    const Entry& e = m_entries[size_t(slot)];
    const Text t = textOf(slot);
    char hex[40];
    QByteArrayView hash = t.hash;
    if (e.flags & kHashBinary) {
        static const char digits[] = "0123456789abcdef";
        for (int k = 0; k < 20; ++k) {
            hex[2 * k] = digits[quint8(t.hash[k]) >> 4];
            hex[2 * k + 1] = digits[quint8(t.hash[k]) & 15];
        }
        hash = QByteArrayView(hex, 40);
    }
    ListedRows::Fields f;
    f.nid = e.nid;
    f.pid = e.parent >= 0 ? m_entries[size_t(e.parent)].nid : -1;
    const Wide w = fieldsOf(slot);
    f.size = w.size;
    f.version = w.version;
    f.mtime = e.mtime;
    f.ctime = e.ctime;
    f.category = w.category;
    f.flags = quint8(((e.flags & kDir) ? ListedRows::kDir : 0) | ((e.flags & kLink) ? ListedRows::kLink : 0) |
                     ((e.flags & kSync) ? ListedRows::kSync : 0) |
                     ((e.flags & kEditLock) ? ListedRows::kEditLock : 0));
    rows.append(f, t.key, t.name, hash, folder);
}

CloudFileList KZNodeTree::makeInfos(const std::vector<int>& slots, const std::vector<QString>& folderPaths,
                                    const std::vector<quint32>& folderOf, int sortMode) const {
    // The rows are copied per part on every core into packed rows; records are made only for
    // the rows that are read.
    const quint64 listing = CloudFileInfo::newListing();
    const int parts = slots.size() >= kParallelRecords ? parallelParts(qint64(slots.size()), 1024) : 1;
    std::vector<std::shared_ptr<const ListedRows>> made(static_cast<size_t>(parts));
    parallelFor(parts, [&](int part) {
        const size_t from = slots.size() * size_t(part) / size_t(parts);
        const size_t to = slots.size() * size_t(part + 1) / size_t(parts);
        auto rows = std::make_shared<ListedRows>(listing, sortMode, quint32(from));
        rows->setFolders(folderPaths);
        rows->reserve(to - from, (to - from) * 64); // key, name and a hex hash
        for (size_t i = from; i < to; ++i) {
            // The slots lie scattered over the tables: the entries, then their text, are fetched
            // a few rows ahead so that the misses overlap.
            if (i + 16 < to)
                __builtin_prefetch(&m_entries[size_t(slots[i + 16])]);
            if (i + 8 < to)
                prefetchText(slots[i + 8]);
            if (i + 4 < to)
                prefetchName(slots[i + 4]);
            appendRow(*rows, slots[i], folderOf.empty() ? 0 : folderOf[i]);
        }
        made[size_t(part)] = std::move(rows);
    });
    return CloudFileList(made);
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
        const std::vector<int>* list = childrenOf(slot);
        if (!list)
            return -1;
        // Children are in key order: only those of the part's key can be it.
        const std::vector<int>& kids = *list;
        const QByteArray key = collation::sortKey(part);
        auto it = std::lower_bound(kids.begin(), kids.end(), key, [&](int s, const QByteArray& k) {
            return compareBytes(textOf(s).key, k) < 0;
        });
        const QByteArray exact = part.toUtf8();
        int found = -1;
        for (; it != kids.end() && compareBytes(textOf(*it).key, key) == 0; ++it)
            if (textOf(*it).name == exact) {
                found = *it;
                break;
            }
        if (found < 0)
            return -1;
        slot = found;
    }
    return m_entries[size_t(slot)].nid;
}

KZNodeTree::OrderItem KZNodeTree::orderItem(int slot) const {
    OrderItem it;
    it.slot = slot;
    it.dir = m_entries[size_t(slot)].flags & kDir;
    const QByteArrayView k = textOf(slot).key;
    for (qsizetype i = 0; i < 16; ++i) {
        const quint64 b = i < k.size() ? quint8(k[i]) : 0;
        if (i < 8)
            it.hi = (it.hi << 8) | b;
        else
            it.lo = (it.lo << 8) | b;
    }
    return it;
}

bool KZNodeTree::itemLess(const OrderItem& a, const OrderItem& b, bool descending) const {
    if (a.dir != b.dir)
        return a.dir;
    const OrderItem& x = descending ? b : a;
    const OrderItem& y = descending ? a : b;
    if (x.hi != y.hi)
        return x.hi < y.hi;
    if (x.lo != y.lo)
        return x.lo < y.lo;
    return nameLess(x.slot, y.slot);
}

void KZNodeTree::sortSlotsByTime(std::vector<int>& slots, bool descending) const {
    // One 64-bit word per slot, folders first, then the time, then the slot: three passes of a
    // radix sort on the upper 33 bits order them; equal times then fall to the node id.
    const size_t n = slots.size();
    std::vector<quint64> words(n), other(n);
    const int parts = parallelParts(qint64(n), 16384);
    parallelFor(parts, [&](int p) {
        for (size_t i = n * size_t(p) / size_t(parts), to = n * size_t(p + 1) / size_t(parts); i < to; ++i) {
            const Entry& e = m_entries[size_t(slots[i])];
            quint32 time = quint32(e.mtime) ^ 0x80000000u; // signed order as unsigned
            if (descending)
                time = ~time;
            words[i] = (quint64((e.flags & kDir) ? 0 : 1) << 63) | (quint64(time) << 31) | quint64(slots[i]);
        }
    });
    for (int shift = 31; shift < 64; shift += 11) {
        std::vector<size_t> start(2049, 0);
        for (quint64 w : words)
            ++start[((w >> shift) & 2047) + 1];
        for (size_t b = 1; b < start.size(); ++b)
            start[b] += start[b - 1];
        for (quint64 w : words)
            other[start[(w >> shift) & 2047]++] = w;
        words.swap(other);
    }
    auto nidOf = [this](quint64 w) { return m_entries[size_t(w & 0x7fffffffu)].nid; };
    for (size_t i = 0; i < n;) {
        size_t end = i + 1;
        while (end < n && (words[end] >> 31) == (words[i] >> 31))
            ++end;
        if (end - i > 1)
            std::sort(
                words.begin() + qsizetype(i), words.begin() + qsizetype(end),
                [&](quint64 a, quint64 b) { return descending ? nidOf(b) < nidOf(a) : nidOf(a) < nidOf(b); });
        i = end;
    }
    for (size_t i = 0; i < n; ++i)
        slots[i] = int(words[i] & 0x7fffffffu);
}

void KZNodeTree::sortSlots(std::vector<int>& slots, int sortMode) const {
    const bool byName = sortMode == 0 || sortMode == 1;
    const bool descending = sortMode != 0 && sortMode != 2;
    if (!byName) {
        sortSlotsByTime(slots, descending);
        return;
    }
    std::vector<OrderItem> items(slots.size());
    const int parts = parallelParts(qint64(slots.size()), 16384);
    parallelFor(parts, [&](int p) {
        const size_t from = slots.size() * size_t(p) / size_t(parts);
        const size_t to = slots.size() * size_t(p + 1) / size_t(parts);
        for (size_t i = from; i < to; ++i)
            items[i] = orderItem(slots[i]);
    });
    parallelSort(items, [&](const OrderItem& a, const OrderItem& b) { return itemLess(a, b, descending); });
    for (size_t i = 0; i < items.size(); ++i)
        slots[i] = items[i].slot;
}

std::vector<int> KZNodeTree::slotsByName() const {
    std::vector<OrderItem> items;
    items.reserve(size_t(m_live));
    for (size_t s = 1; s < m_entries.size(); ++s)
        if (m_entries[s].flags & kAlive)
            items.push_back(OrderItem{0, 0, int(s), false});
    const int parts = parallelParts(qint64(items.size()), 16384);
    parallelFor(parts, [&](int p) {
        const size_t from = items.size() * size_t(p) / size_t(parts);
        const size_t to = items.size() * size_t(p + 1) / size_t(parts);
        for (size_t i = from; i < to; ++i) {
            items[i] = orderItem(items[i].slot);
            items[i].dir = false; // name order alone
        }
    });
    parallelSort(items, [this](const OrderItem& a, const OrderItem& b) { return itemLess(a, b, false); });
    std::vector<int> slots(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        slots[i] = items[i].slot;
    return slots;
}

void KZNodeTree::layOutSearchBuffer(const std::vector<int>& byName) {
    const size_t n = byName.size();
    auto segEnd = [this](size_t seg) {
        return seg + 1 < m_segStart.size() ? m_segStart[seg + 1] : quint32(m_names.size());
    };
    // Parts start at multiples of 64, so that no two write the same word of the folder bits.
    const size_t parts = size_t(parallelParts(qint64(n), 16384));
    auto bound = [&](size_t p) { return p == parts ? n : (n * p / parts) & ~size_t(63); };
    std::vector<quint32> oldSeg(n), starts(n);
    std::vector<bool> dirs(n);
    parallelFor(int(parts), [&](int p) {
        for (size_t i = bound(size_t(p)), to = bound(size_t(p) + 1); i < to; ++i) {
            Entry& e = m_entries[size_t(byName[i])];
            oldSeg[i] = quint32(e.segment);
            starts[i] = segEnd(size_t(e.segment)) - m_segStart[size_t(e.segment)]; // its length for now
            dirs[i] = e.flags & kDir;
            e.segment = int(i);
        }
    });
    quint32 size = 0;
    for (quint32& start : starts)
        size += std::exchange(start, size);
    QByteArray names(qsizetype(size), Qt::Uninitialized);
    char* out = names.data();
    parallelFor(int(parts), [&](int p) {
        for (size_t i = bound(size_t(p)), to = bound(size_t(p) + 1); i < to; ++i) {
            const size_t seg = oldSeg[i];
            memcpy(out + starts[i], m_names.constData() + m_segStart[seg], segEnd(seg) - m_segStart[seg]);
        }
    });
    m_names = std::move(names);
    m_segStart = std::move(starts);
    m_segSlot = byName;
    m_segDir = std::move(dirs);
    m_orderedSegs = n;
    m_deadSegments = 0;
}

CloudFileList KZNodeTree::list(qint64 folder, bool foldersOnly, int sortMode) const {
    QReadLocker lock(&m_lock);
    const int slot = slotOf(folder);
    if (slot < 0)
        return {};
    std::vector<int> kids;
    if (const std::vector<int>* list = childrenOf(slot)) {
        // Kept in name order: folders then files, each run as it stands (or reversed).
        const std::vector<int>& all = *list;
        kids.reserve(all.size());
        const bool descending = sortMode == 1;
        for (int pass = 0; pass < (foldersOnly ? 1 : 2); ++pass) {
            const bool dirs = pass == 0;
            const size_t from = kids.size();
            for (int c : all)
                if (bool(m_entries[size_t(c)].flags & kDir) == dirs)
                    kids.push_back(c);
            if (descending)
                std::reverse(kids.begin() + qsizetype(from), kids.end());
        }
        if (sortMode != 0 && sortMode != 1)
            sortSlots(kids, sortMode);
    }
    QString base = pathOfSlot(slot);
    if (!base.endsWith(u'/'))
        base += u'/';
    return makeInfos(kids, {base}, {}, sortMode);
}

void KZNodeTree::scanSegments(size_t first, size_t last, const QByteArray& needle, std::vector<int>& dirs,
                              std::vector<int>& files) const {
    const qsizetype begin = first < m_segStart.size() ? qsizetype(m_segStart[first]) : m_names.size();
    const qsizetype end = last < m_segStart.size() ? qsizetype(m_segStart[last]) : m_names.size();
    size_t seg = first;
    forEachMatch(m_names.constData(), begin, end, needle, [&](qsizetype at) -> qsizetype {
        // Hits come in order and mostly close together: gallop forward from the last segment.
        size_t step = 1, lo = seg, hi = seg + 1;
        while (hi < last && qsizetype(m_segStart[hi]) <= at) {
            lo = hi;
            step *= 2;
            hi = std::min(last, hi + step);
        }
        seg = size_t(std::upper_bound(m_segStart.begin() + qsizetype(lo), m_segStart.begin() + qsizetype(hi),
                                      quint32(at)) -
                     m_segStart.begin()) -
              1;
        if (m_segSlot[seg] >= 0)
            (m_segDir[seg] ? dirs : files).push_back(m_segSlot[seg]);
        ++seg; // one hit per name: go on at the next one
        return seg < last ? qsizetype(m_segStart[seg]) : end;
    });
}

KZNodeTree::Found KZNodeTree::findSlots(int scopeSlot, const QByteArray& needle) const {
    Found out;
    // A zero byte separates the names in the buffer: a key holding one would match across two.
    if (needle.isEmpty() || needle.contains('\0') || scopeSlot < 0)
        return out;
    // The scan is bound by memory bandwidth: each core takes a run of whole names (a key holds no
    // zero byte, so no match crosses a name's start). The ordered names and those added after
    // them are never in one run.
    const int parts = parallelParts(m_names.size(), 256 << 10);
    std::vector<size_t> bounds{0};
    for (int p = 1; p < parts; ++p) {
        const quint32 at = quint32(m_names.size() / parts * p);
        bounds.push_back(
            size_t(std::lower_bound(m_segStart.begin(), m_segStart.end(), at) - m_segStart.begin()));
    }
    bounds.push_back(m_orderedSegs);
    bounds.push_back(m_segStart.size());
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    const size_t runs = bounds.size() - 1;

    // Whether a folder lies in the scope, remembered per folder (hits share their parents) and
    // shared by the runs: 0 not known yet, 1 inside, 2 outside. The climb is a loop, so a very
    // deep tree cannot exhaust the stack.
    std::unique_ptr<std::atomic<quint8>[]> inScope;
    if (scopeSlot != 0)
        inScope.reset(new std::atomic<quint8>[m_entries.size()]());
    auto under = [&](int folder, std::vector<int>& climbed) -> bool {
        climbed.clear();
        quint8 r = 2;
        for (;;) {
            if (folder == scopeSlot) {
                r = 1;
                break;
            }
            if (folder <= 0)
                break;
            if (const quint8 known = inScope[size_t(folder)].load(std::memory_order_relaxed)) {
                r = known;
                break;
            }
            climbed.push_back(folder);
            folder = m_entries[size_t(folder)].parent;
        }
        for (int f : climbed)
            inScope[size_t(f)].store(r, std::memory_order_relaxed);
        return r == 1;
    };
    std::vector<Found> found(runs);
    parallelFor(int(runs), [&](int p) {
        Found& f = found[size_t(p)];
        scanSegments(bounds[size_t(p)], bounds[size_t(p) + 1], needle, f.dirs, f.files);
        if (scopeSlot == 0)
            return;
        std::vector<int> climbed;
        for (auto* hits : {&f.dirs, &f.files})
            hits->erase(
                std::remove_if(hits->begin(), hits->end(),
                               [&](int slot) { return !under(m_entries[size_t(slot)].parent, climbed); }),
                hits->end());
    });
    auto join = [&](std::vector<int>& to, bool ordered, std::vector<int> Found::*kind) {
        size_t n = 0;
        for (size_t p = 0; p < runs; ++p)
            if ((bounds[p] < m_orderedSegs) == ordered)
                n += (found[p].*kind).size();
        to.reserve(to.size() + n);
        for (size_t p = 0; p < runs; ++p)
            if ((bounds[p] < m_orderedSegs) == ordered)
                to.insert(to.end(), (found[p].*kind).begin(), (found[p].*kind).end());
    };
    join(out.dirs, true, &Found::dirs);
    join(out.files, true, &Found::files);
    join(out.added, false, &Found::dirs);
    join(out.added, false, &Found::files);
    return out;
}

std::vector<int> KZNodeTree::searchSlots(int scopeSlot, const QByteArray& needle, int sortMode) const {
    Found found = findSlots(scopeSlot, needle);
    std::vector<int>& dirs = found.dirs;
    std::vector<int>& files = found.files;
    if (sortMode == 0 || sortMode == 1) {
        // The scan gave the ordered part's hits in name order already; the few names added since
        // are sorted alone and each put in its place.
        sortSlots(found.added, 0);
        const auto addedFiles =
            std::partition_point(found.added.begin(), found.added.end(),
                                 [this](int slot) { return bool(m_entries[size_t(slot)].flags & kDir); });
        auto mergeIn = [this](std::vector<int>& run, auto first, auto last) {
            if (first == last)
                return;
            std::vector<int> merged;
            merged.reserve(run.size() + size_t(last - first));
            auto from = run.begin();
            for (; first != last; ++first) {
                auto at = std::upper_bound(from, run.end(), *first,
                                           [this](int a, int b) { return nameLess(a, b); });
                merged.insert(merged.end(), from, at);
                merged.push_back(*first);
                from = at;
            }
            merged.insert(merged.end(), from, run.end());
            run = std::move(merged);
        };
        mergeIn(dirs, found.added.begin(), addedFiles);
        mergeIn(files, addedFiles, found.added.end());
        if (sortMode == 1) {
            // Descending keeps folders first: each kind's run turns round.
            std::reverse(dirs.begin(), dirs.end());
            std::reverse(files.begin(), files.end());
        }
    }
    std::vector<int> hits = std::move(dirs);
    hits.insert(hits.end(), files.begin(), files.end());
    if (sortMode != 0 && sortMode != 1) {
        hits.insert(hits.end(), found.added.begin(), found.added.end());
        sortSlots(hits, sortMode);
    }
    return hits;
}

std::vector<qint64> KZNodeTree::searchNids(qint64 scope, const QString& key) const {
    QReadLocker lock(&m_lock);
    const Found found = findSlots(slotOf(scope), collation::searchFold(key));
    std::vector<qint64> nids;
    nids.reserve(found.dirs.size() + found.files.size() + found.added.size());
    for (const auto* run : {&found.dirs, &found.files, &found.added})
        for (int s : *run)
            nids.push_back(m_entries[size_t(s)].nid);
    return nids;
}

CloudFileList KZNodeTree::search(qint64 scope, const QString& key, int sortMode) const {
    QReadLocker lock(&m_lock);
    auto slots = std::make_shared<const std::vector<int>>(
        searchSlots(slotOf(scope), collation::searchFold(key), sortMode));
    if (slots->empty())
        return {};
    // The hits stay slots of the tree until a block of them is read; the node ids tell whether a
    // slot still holds its node then.
    auto nids = std::make_shared<std::vector<qint64>>(slots->size());
    const int parts = parallelParts(qint64(slots->size()), 16384);
    parallelFor(parts, [&](int p) {
        const size_t n = slots->size();
        for (size_t i = n * size_t(p) / size_t(parts), to = n * size_t(p + 1) / size_t(parts); i < to; ++i)
            (*nids)[i] = m_entries[size_t((*slots)[i])].nid;
    });
    auto fill = [this, slots, nids](quint32 first, quint32 count, ListedRows& block) {
        QReadLocker lock(&m_lock);
        QHash<int, quint32> folderIndex;
        std::vector<QString> paths;
        std::vector<std::pair<int, quint32>> rows; // live slot and its folder, or -1 when gone
        rows.reserve(count);
        for (quint32 i = first; i < first + count; ++i) {
            const int slot = (*slots)[i];
            const bool live = size_t(slot) < m_entries.size() && (m_entries[size_t(slot)].flags & kAlive) &&
                              m_entries[size_t(slot)].nid == (*nids)[i];
            if (!live) {
                rows.emplace_back(-1, 0);
                continue;
            }
            const int parent = m_entries[size_t(slot)].parent;
            auto it = folderIndex.find(parent);
            if (it == folderIndex.end()) {
                QString path = pathOfSlot(parent);
                if (!path.endsWith(u'/'))
                    path += u'/';
                it = folderIndex.insert(parent, quint32(paths.size()));
                paths.push_back(std::move(path));
            }
            rows.emplace_back(slot, *it);
        }
        // Gone since the search: a bare row of its id, with no name or path, until the search
        // runs again.
        const quint32 nowhere = quint32(paths.size());
        paths.emplace_back();
        block.setFolders(std::move(paths));
        for (quint32 i = 0; i < count; ++i) {
            if (rows[i].first >= 0) {
                appendRow(block, rows[i].first, rows[i].second);
            } else {
                ListedRows::Fields gone;
                gone.nid = (*nids)[first + i];
                block.append(gone, {}, {}, {}, nowhere);
            }
        }
    };
    return CloudFileList({std::make_shared<ListedRows>(CloudFileInfo::newListing(), sortMode,
                                                       quint32(slots->size()), std::move(fill))});
}

} // namespace nubo
