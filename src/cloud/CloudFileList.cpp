#include "cloud/CloudFileList.h"

#include <QString>

namespace nubo {

ListedRows::ListedRows(quint64 listing, int sortMode, quint32 rows, Fill fill)
    : m_fill(std::move(fill)), m_rows(rows),
      m_blocks(new std::atomic<std::shared_ptr<ListedRows>*>[(rows + kBlock - 1) / kBlock]()),
      m_listing(listing), m_sortMode(sortMode), m_firstIndex(0) {}

const ListedRows& ListedRows::block(quint32 row) const {
    auto& slot = m_blocks[row / kBlock];
    if (auto* b = slot.load(std::memory_order_acquire))
        return **b;
    const quint32 first = row / kBlock * kBlock;
    auto* fresh = new std::shared_ptr<ListedRows>(std::make_shared<ListedRows>(m_listing, m_sortMode, first));
    m_fill(first, std::min(kBlock, m_rows - first), **fresh);
    std::shared_ptr<ListedRows>* expected = nullptr;
    if (slot.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel))
        return **fresh;
    delete fresh;
    return **expected;
}

ListedRows::~ListedRows() {
    if (m_fill) {
        for (quint32 b = 0; b < (m_rows + kBlock - 1) / kBlock; ++b)
            delete m_blocks[b].load(std::memory_order_relaxed);
    }
    if (auto* made = m_made.load(std::memory_order_acquire)) {
        for (size_t i = 0; i < m_fields.size(); ++i)
            delete made[i].load(std::memory_order_relaxed);
        delete[] made;
    }
}

void ListedRows::reserve(size_t rows, size_t textBytes) {
    m_nids.reserve(rows);
    m_fields.reserve(rows);
    m_text.rowAt.reserve(rows);
    m_text.bytes.reserve(qsizetype(textBytes));
}

void ListedRows::append(const Fields& fields, QByteArrayView key, QByteArrayView name, QByteArrayView hash,
                        quint32 folder) {
    m_nids.push_back(fields.nid);
    m_fields.push_back(
        {fields.pid, fields.size, fields.version, fields.mtime, fields.ctime, fields.category, fields.flags});
    m_text.append(key, name, hash, folder);
}

ListedRows::Text ListedRows::text(quint32 row) const {
    if (m_fill)
        return block(row).text(row % kBlock);
    const PackedRows::Row r = m_text.read(row);
    return {r.key, r.name, r.hash};
}

CloudFileInfoPtr ListedRows::record(quint32 row) const {
    if (m_fill)
        return block(row).record(row % kBlock);
    auto* made = m_made.load(std::memory_order_acquire);
    if (!made) {
        auto* fresh = new std::atomic<CloudFileInfo*>[m_fields.size()] {};
        if (m_made.compare_exchange_strong(made, fresh, std::memory_order_acq_rel))
            made = fresh;
        else
            delete[] fresh;
    }
    CloudFileInfo* f = made[row].load(std::memory_order_acquire);
    if (!f) {
        const Stored& e = m_fields[row];
        const PackedRows::Row t = m_text.read(row);
        auto* fresh = new CloudFileInfo;
        fresh->setNid(m_nids[row]);
        fresh->setPid(e.pid);
        fresh->setName(QString::fromUtf8(t.name));
        fresh->setPath(m_text.folderOfRow(row) + fresh->name());
        fresh->setIsDirectory(e.flags & kDir);
        fresh->setM_size(e.size);
        fresh->setM_fmtime(e.mtime);
        fresh->setM_fctime(e.ctime);
        fresh->setM_category(e.category);
        if (!t.hash.isEmpty())
            fresh->setM_fileHash(QString::fromUtf8(t.hash));
        fresh->setM_isLink(e.flags & kLink);
        fresh->setM_isSync(e.flags & kSync);
        fresh->setM_isEditLock(e.flags & kEditLock);
        fresh->setM_version(e.version);
        fresh->setNameSortKey(t.key.toByteArray());
        fresh->setListingOrder(m_listing, m_firstIndex + row, m_sortMode);
        // Another thread may have made the row meanwhile: its record is the row's.
        if (made[row].compare_exchange_strong(f, fresh, std::memory_order_acq_rel))
            f = fresh;
        else
            delete fresh;
    }
    // The record lives as long as the rows do.
    return CloudFileInfoPtr(shared_from_this(), f);
}

} // namespace nubo

using nubo::ListedRows;

CloudFileList::CloudFileList(const QList<CloudFileInfoPtr>& records) {
    m_entries.reserve(size_t(records.size()));
    for (const CloudFileInfoPtr& f : records)
        if (f)
            m_entries.push_back(single(f));
}

CloudFileList::CloudFileList(std::initializer_list<CloudFileInfoPtr> records)
    : CloudFileList(QList<CloudFileInfoPtr>(records)) {}

CloudFileList::CloudFileList(std::vector<std::shared_ptr<const ListedRows>> parts) {
    std::erase(parts, nullptr);
    size_t n = 0;
    for (const auto& part : parts)
        n += part->size();
    m_entries.resize(n);
    n = 0;
    for (size_t p = 0; p < parts.size(); ++p)
        for (quint32 i = 0; i < parts[p]->size(); ++i)
            m_entries[n++] = {quint32(p), i};
    // Parts of one listing, in their order, stand in its sort mode.
    bool listed = !parts.empty();
    for (size_t p = 0; listed && p < parts.size(); ++p)
        listed = parts[p]->listing() == parts[0]->listing() && parts[p]->sortMode() == parts[0]->sortMode() &&
                 (p == 0 || parts[p]->firstIndex() == parts[p - 1]->firstIndex() + parts[p - 1]->size());
    m_sortedBy = listed ? parts[0]->sortMode() : -1;
    m_sources = std::move(parts);
}

CloudFileInfoPtr CloudFileList::at(qsizetype i) const {
    Q_ASSERT(i >= 0 && i < size());
    const Entry& e = m_entries[size_t(i)];
    if (e.source == kSingle)
        return m_singles[e.row];
    return m_sources[e.source]->record(e.row);
}

CloudFileInfo* CloudFileList::made(qsizetype i) const {
    const Entry& e = m_entries[size_t(i)];
    if (e.source == kSingle)
        return m_singles[e.row].get();
    return m_sources[e.source]->made(e.row);
}

qint64 CloudFileList::nid(qsizetype i) const {
    if (const CloudFileInfo* f = made(i))
        return f->nid();
    const Entry& e = m_entries[size_t(i)];
    return m_sources[e.source]->nid(e.row);
}

bool CloudFileList::isDirectory(qsizetype i) const {
    if (const CloudFileInfo* f = made(i))
        return f->isDirectory();
    const Entry& e = m_entries[size_t(i)];
    return m_sources[e.source]->fields(e.row).flags & ListedRows::kDir;
}

QString CloudFileList::name(qsizetype i) const {
    if (const CloudFileInfo* f = made(i))
        return f->name();
    const Entry& e = m_entries[size_t(i)];
    return QString::fromUtf8(m_sources[e.source]->text(e.row).name);
}

qsizetype CloudFileList::indexOf(const CloudFileInfo* record, qsizetype from) const {
    if (!record)
        return -1;
    for (qsizetype i = std::max<qsizetype>(from, 0); i < size(); ++i)
        if (made(i) == record)
            return i;
    return -1;
}

qsizetype CloudFileList::indexOf(const CloudFileInfoPtr& record, qsizetype from) const {
    return indexOf(record.get(), from);
}

CloudFileList::Entry CloudFileList::single(CloudFileInfoPtr record) {
    m_singles.push_back(std::move(record));
    return {kSingle, quint32(m_singles.size() - 1)};
}

quint32 CloudFileList::sourceIndex(const std::shared_ptr<const ListedRows>& rows) {
    for (size_t i = 0; i < m_sources.size(); ++i)
        if (m_sources[i] == rows)
            return quint32(i);
    m_sources.push_back(rows);
    return quint32(m_sources.size() - 1);
}

void CloudFileList::append(const CloudFileInfoPtr& record) {
    insert(size(), record);
}

void CloudFileList::append(const CloudFileList& other) {
    const CloudFileList copy = other; // `other` may be this list
    std::vector<quint32> sources(copy.m_sources.size());
    for (size_t i = 0; i < sources.size(); ++i)
        sources[i] = sourceIndex(copy.m_sources[i]);
    m_entries.reserve(m_entries.size() + copy.m_entries.size());
    for (const Entry& e : copy.m_entries)
        m_entries.push_back(e.source == kSingle ? single(copy.m_singles[e.row])
                                                : Entry{sources[e.source], e.row});
    if (!copy.isEmpty())
        m_sortedBy = -1;
}

void CloudFileList::insert(qsizetype i, const CloudFileInfoPtr& record) {
    if (!record)
        return;
    i = std::clamp<qsizetype>(i, 0, size());
    m_entries.insert(m_entries.begin() + i, single(record));
    m_sortedBy = -1;
}

void CloudFileList::remove(qsizetype i, qsizetype n) {
    if (i < 0 || n <= 0 || i >= size())
        return;
    n = std::min(n, size() - i);
    m_entries.erase(m_entries.begin() + i, m_entries.begin() + i + n);
    dropUnusedSingles();
}

void CloudFileList::clear() {
    m_entries.clear();
    m_sources.clear();
    m_singles.clear();
    m_sortedBy = -1;
}

void CloudFileList::dropUnusedSingles(size_t used) {
    // Removed single records are let go once they are most of those held.
    if (m_singles.size() < 64)
        return;
    if (used == size_t(-1)) {
        used = 0;
        for (const Entry& e : m_entries)
            used += e.source == kSingle;
    }
    if (used * 2 >= m_singles.size())
        return;
    std::vector<CloudFileInfoPtr> kept;
    kept.reserve(used);
    for (Entry& e : m_entries)
        if (e.source == kSingle) {
            kept.push_back(std::move(m_singles[e.row]));
            e.row = quint32(kept.size() - 1);
        }
    m_singles = std::move(kept);
}

CloudFileList CloudFileList::mid(qsizetype pos, qsizetype len) const {
    CloudFileList out = *this;
    pos = std::clamp<qsizetype>(pos, 0, size());
    const qsizetype end = len < 0 ? size() : std::min(size(), pos + len);
    out.m_entries.assign(m_entries.begin() + pos, m_entries.begin() + std::max(pos, end));
    out.dropUnusedSingles();
    return out;
}

QList<CloudFileInfoPtr> CloudFileList::toList() const {
    QList<CloudFileInfoPtr> out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out.append(at(i));
    return out;
}

CloudFileList::RowKey CloudFileList::rowKey(qsizetype i, bool byName) const {
    RowKey k;
    if (const CloudFileInfo* f = made(i)) {
        k.record = f;
        k.dir = f->isDirectory();
        k.mtime = f->m_fmtime();
        k.nid = f->nid();
        if (byName)
            k.key = f->nameSortKey();
        return k;
    }
    const Entry& e = m_entries[size_t(i)];
    const ListedRows& rows = *m_sources[e.source];
    const ListedRows::Fields f = rows.fields(e.row);
    k.dir = f.flags & ListedRows::kDir;
    k.mtime = f.mtime;
    k.nid = f.nid;
    if (byName) {
        const ListedRows::Text t = rows.text(e.row);
        k.key = t.key;
        k.name = t.name;
    }
    return k;
}

namespace {

int sign(qint64 a, qint64 b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

int CloudFileList::compareKeys(const RowKey& x, const RowKey& y, int sortMode) {
    if (x.record && y.record)
        return x.record->compareBySortMode(*y.record, sortMode);
    if (x.dir != y.dir)
        return x.dir ? -1 : 1;
    const bool descending = sortMode != 0 && sortMode != 2;
    const RowKey& p = descending ? y : x;
    const RowKey& q = descending ? x : y;
    if (sortMode != 0 && sortMode != 1)
        return sign(p.mtime, q.mtime);
    if (const int c = p.key.compare(q.key))
        return c < 0 ? -1 : 1;
    // Ties fall to the exact names as records compare them, then the node id.
    const QString pn = p.record ? p.record->name() : QString::fromUtf8(p.name);
    const QString qn = q.record ? q.record->name() : QString::fromUtf8(q.name);
    if (const int c = pn.compare(qn))
        return c < 0 ? -1 : 1;
    return sign(p.nid, q.nid);
}

int CloudFileList::compareRows(qsizetype a, qsizetype b, int sortMode) const {
    const bool byName = sortMode == 0 || sortMode == 1;
    return compareKeys(rowKey(a, byName), rowKey(b, byName), sortMode);
}

CloudFileList::RowKey CloudFileList::keyOf(const CloudFileInfo& record, int sortMode) {
    RowKey k;
    k.record = &record;
    k.dir = record.isDirectory();
    k.mtime = record.m_fmtime();
    k.nid = record.nid();
    if (sortMode == 0 || sortMode == 1)
        k.key = record.nameSortKey();
    return k;
}

int CloudFileList::compareRow(qsizetype a, const CloudFileInfo& b, int sortMode) const {
    return compareRow(a, keyOf(b, sortMode), sortMode);
}

int CloudFileList::compareRow(qsizetype a, const RowKey& b, int sortMode) const {
    return compareKeys(rowKey(a, sortMode == 0 || sortMode == 1), b, sortMode);
}

std::vector<qsizetype> CloudFileList::insertSorted(const QList<CloudFileInfoPtr>& records,
                                                   const std::vector<qsizetype>& at) {
    return spliceSorted(
        {}, records.size(), [&](qsizetype k) { return records.at(k); }, at);
}

std::vector<qsizetype> CloudFileList::spliceSorted(const std::vector<quint64>& removed, qsizetype count,
                                                   const std::function<CloudFileInfoPtr(qsizetype)>& record,
                                                   const std::vector<qsizetype>& at) {
    const size_t adding = size_t(std::max<qsizetype>(count, 0));
    std::vector<qsizetype> rows;
    rows.reserve(adding);
    m_singles.reserve(m_singles.size() + adding);
    std::vector<Entry> merged;
    merged.reserve(m_entries.size() + adding);
    const Entry* in = m_entries.data();
    size_t singles = 0; // kept, counted on the way for dropUnusedSingles
    // Rows go over in words of 64: a word without a removal is copied whole.
    const auto keep = [&](size_t from, size_t to) {
        while (from < to) {
            const size_t w = from / 64;
            const quint64 bits = w < removed.size() ? removed[w] >> (from % 64) : 0;
            const size_t end = std::min(to, (w + 1) * 64);
            if (!bits) {
                for (size_t i = from; i < end; ++i)
                    singles += in[i].source == kSingle;
                merged.insert(merged.end(), in + from, in + end);
            } else {
                for (size_t i = from; i < end; ++i)
                    if (!(bits >> (i - from) & 1)) {
                        singles += in[i].source == kSingle;
                        merged.push_back(in[i]);
                    }
            }
            from = end;
        }
    };
    size_t next = 0;
    for (qsizetype k = 0; k < count; ++k) {
        const size_t to = size_t(std::clamp<qsizetype>(at[size_t(k)], qsizetype(next), size()));
        keep(next, to);
        next = to;
        CloudFileInfoPtr r = record(k);
        if (!r)
            continue;
        rows.push_back(qsizetype(merged.size()));
        merged.push_back(single(std::move(r)));
        ++singles;
    }
    keep(next, m_entries.size());
    m_entries = std::move(merged);
    dropUnusedSingles(singles);
    return rows;
}
