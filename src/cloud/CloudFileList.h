#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/PackedRows.h"

#include <QByteArrayView>
#include <QList>
#include <algorithm>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace nubo {

// A snapshot of many listed nodes as the session took it: the numeric fields of each row in one
// array and the text packed, so that a listing of 100,000 rows allocates nothing per row. A
// row's record is made the first time it is asked for and then kept, so a row has one identity
// (selection marks on the record stay with it). Immutable once handed out; records may be asked
// for from any thread.
class ListedRows : public std::enable_shared_from_this<ListedRows> {
public:
    enum Flag : quint8 { kDir = 1, kLink = 2, kSync = 4, kEditLock = 8 };
    struct Fields {
        qint64 nid = 0;
        qint64 pid = -1;
        quint64 size = 0;
        qint64 version = 0;
        qint32 mtime = 0;
        qint32 ctime = 0;
        qint32 category = 0;
        quint8 flags = 0;
    };
    struct Text {
        QByteArrayView key;
        QByteArrayView name; // UTF-8
        QByteArrayView hash; // UTF-8
    };

    // Rows of listing number `listing` (CloudFileInfo::newListing) in `sortMode`, the first of them
    // at `firstIndex` of the listing.
    ListedRows(quint64 listing, int sortMode, quint32 firstIndex = 0)
        : m_listing(listing), m_sortMode(sortMode), m_firstIndex(firstIndex) {}
    // Rows filled elsewhere the first time one of a block of them is read: `fill` appends rows
    // [first, first + count) to the empty block it is handed.
    using Fill = std::function<void(quint32 first, quint32 count, ListedRows& block)>;
    ListedRows(quint64 listing, int sortMode, quint32 rows, Fill fill);
    ~ListedRows();
    ListedRows(const ListedRows&) = delete;
    ListedRows& operator=(const ListedRows&) = delete;

    // Building, before the rows are shared.
    void reserve(size_t rows, size_t textBytes);
    void setFolders(std::vector<QString> paths) { m_text.folders = std::move(paths); }
    void append(const Fields& fields, QByteArrayView key, QByteArrayView name, QByteArrayView hash,
                quint32 folder = 0);

    quint32 size() const { return m_fill ? m_rows : quint32(m_fields.size()); }
    Fields fields(quint32 row) const {
        if (m_fill)
            return block(row).fields(row % kBlock);
        const Stored& s = m_fields[row];
        return {m_nids[row], s.pid, s.size, s.version, s.mtime, s.ctime, s.category, s.flags};
    }
    qint64 nid(quint32 row) const { return m_fill ? block(row).nid(row % kBlock) : m_nids[row]; }
    // Asks for the row's fields ahead of reading them, so that misses of scattered rows overlap.
    void prefetchFields(quint32 row) const {
        if (!m_fill)
            __builtin_prefetch(&m_fields[row]);
    }
    Text text(quint32 row) const;
    quint64 listing() const { return m_listing; }
    int sortMode() const { return m_sortMode; }
    quint32 firstIndex() const { return m_firstIndex; }

    // The row's record, made on first use.
    CloudFileInfoPtr record(quint32 row) const;
    // The node ids of every row in one array, or null while the rows are filled lazily.
    const qint64* nidArray() const { return m_fill ? nullptr : m_nids.data(); }
    // The rows' made records in one array (null slots for rows not made), or null while none was
    // made or the rows are filled lazily. A record made after this was asked for is not in it.
    const std::atomic<CloudFileInfo*>* madeArray() const {
        return m_fill ? nullptr : m_made.load(std::memory_order_acquire);
    }
    // The row's record when it was made already, else null.
    CloudFileInfo* made(quint32 row) const {
        if (m_fill) {
            const auto* b = m_blocks[row / kBlock].load(std::memory_order_acquire);
            return b ? (*b)->made(row % kBlock) : nullptr;
        }
        const auto* made = m_made.load(std::memory_order_acquire);
        return made ? made[row].load(std::memory_order_acquire) : nullptr;
    }

private:
    static constexpr quint32 kBlock = 256;
    const ListedRows& block(quint32 row) const;

    Fill m_fill;
    quint32 m_rows = 0;
    std::unique_ptr<std::atomic<std::shared_ptr<ListedRows>*>[]> m_blocks;
    quint64 m_listing;
    int m_sortMode;
    quint32 m_firstIndex;
    // The fields but the id, which a scan of a big folder's ids reads alone.
    struct Stored {
        qint64 pid;
        quint64 size;
        qint64 version;
        qint32 mtime;
        qint32 ctime;
        qint32 category;
        quint8 flags;
    };
    std::vector<qint64> m_nids;
    std::vector<Stored> m_fields;
    PackedRows m_text;
    // One slot per row, made with the first record: most listings are never read past a screen.
    mutable std::atomic<std::atomic<CloudFileInfo*>*> m_made{nullptr};
};

} // namespace nubo

// The rows of a file list: listed rows held packed until a row is asked for, and single records
// (placeholders, changed nodes). Reads like a QList of records: at() makes the row's record the
// first time and answers the same record after. Loops over many rows use the accessors that read
// the packed fields (nid, isDirectory, made) so they build no records. Null records are never
// held.
class CloudFileList {
    struct Entry {
        quint32 source; // index into m_sources, or kSingle
        quint32 row;    // row of that source, or index into m_singles
    };
    static constexpr quint32 kSingle = 0xffffffffu;

public:
    CloudFileList() = default;
    CloudFileList(const QList<CloudFileInfoPtr>& records); // NOLINT: a list of records converts
    CloudFileList(std::initializer_list<CloudFileInfoPtr> records);
    // Every row of each part, in their order; parts of one listing keep its order.
    explicit CloudFileList(std::vector<std::shared_ptr<const nubo::ListedRows>> parts);

    qsizetype size() const { return qsizetype(m_entries.size()); }
    qsizetype count() const { return size(); }
    qsizetype length() const { return size(); }
    bool isEmpty() const { return m_entries.empty(); }

    CloudFileInfoPtr at(qsizetype i) const;
    CloudFileInfoPtr operator[](qsizetype i) const { return at(i); }
    // The record at i, or null when i is out of range.
    CloudFileInfoPtr value(qsizetype i) const { return i >= 0 && i < size() ? at(i) : nullptr; }
    CloudFileInfoPtr first() const { return at(0); }
    CloudFileInfoPtr last() const { return at(size() - 1); }
    CloudFileInfoPtr constFirst() const { return first(); }

    // Read without making the record (a made record answers for itself, changes included).
    qint64 nid(qsizetype i) const;
    // Calls f(row, nid) for the rows [from, to) in order, as nid(row) reads it but without
    // looking each row's part up again: a scan of a big folder's ids. Safe on several threads.
    template <class F> void forEachNid(F f, qsizetype from = 0, qsizetype to = -1) const {
        // The id and made-record arrays of the current part are looked up once per run of its
        // rows; a record made meanwhile is new and carries its row's id.
        const nubo::ListedRows* rows = nullptr;
        const qint64* nids = nullptr;
        const std::atomic<CloudFileInfo*>* made = nullptr;
        quint32 current = kSingle;
        const size_t end = to < 0 ? m_entries.size() : std::min(size_t(to), m_entries.size());
        for (size_t i = size_t(std::max<qsizetype>(from, 0)); i < end; ++i) {
            const Entry e = m_entries[i];
            if (e.source == kSingle) {
                f(qsizetype(i), m_singles[e.row]->nid());
                continue;
            }
            if (e.source != current) {
                current = e.source;
                rows = m_sources[e.source].get();
                nids = rows->nidArray();
                made = rows->madeArray();
            }
            if (!nids) {
                const CloudFileInfo* m = rows->made(e.row);
                f(qsizetype(i), m ? m->nid() : rows->nid(e.row));
            } else if (const CloudFileInfo* m =
                           made ? made[e.row].load(std::memory_order_acquire) : nullptr) {
                f(qsizetype(i), m->nid());
            } else {
                f(qsizetype(i), nids[e.row]);
            }
        }
    }
    bool isDirectory(qsizetype i) const;
    // Asks for what isDirectory(i) reads of a listed row, a few rows ahead of asking.
    void prefetchFields(qsizetype i) const {
        const Entry& e = m_entries[size_t(i)];
        if (e.source != kSingle)
            m_sources[e.source]->prefetchFields(e.row);
    }
    QString name(qsizetype i) const;
    // The record at i when one exists already (a single record, or a listed row asked for before);
    // else null.
    CloudFileInfo* made(qsizetype i) const;

    // The row of this very record (by identity), or -1.
    qsizetype indexOf(const CloudFileInfoPtr& record, qsizetype from = 0) const;
    qsizetype indexOf(const CloudFileInfo* record, qsizetype from = 0) const;
    bool contains(const CloudFileInfoPtr& record) const { return indexOf(record) >= 0; }

    void append(const CloudFileInfoPtr& record);
    void append(const CloudFileList& other);
    void prepend(const CloudFileInfoPtr& record) { insert(0, record); }
    void insert(qsizetype i, const CloudFileInfoPtr& record);
    void removeAt(qsizetype i) { remove(i, 1); }
    void removeFirst() { remove(0, 1); }
    void removeLast() { remove(size() - 1, 1); }
    void remove(qsizetype i, qsizetype n = 1);
    // Removes the rows for which pred(row index) holds, keeping the order of the others.
    template <class Pred> void removeRowsIf(Pred pred) {
        size_t out = 0;
        for (size_t i = 0; i < m_entries.size(); ++i)
            if (!pred(qsizetype(i)))
                m_entries[out++] = m_entries[i];
        m_entries.resize(out);
        dropUnusedSingles();
    }
    void clear();
    void reserve(qsizetype n) { m_entries.reserve(size_t(n)); }
    CloudFileList mid(qsizetype pos, qsizetype len = -1) const;
    // Every record, made now.
    QList<CloudFileInfoPtr> toList() const;

    // The sort mode the rows are known to stand in (-1: not known). A listing stands in the
    // session's order; removing rows keeps an order, adding rows forgets it.
    int sortedBy() const { return m_sortedBy; }
    void setSortedBy(int sortMode) { m_sortedBy = sortMode; }
    // What an order compares: a made record answers for itself, since it may have changed.
    struct RowKey {
        const CloudFileInfo* record = nullptr;
        bool dir = false;
        qint32 mtime = 0;
        qint64 nid = 0;
        QByteArrayView key;
        QByteArrayView name;
    };
    // The key of a record (which must outlive it) for compareRow.
    static RowKey keyOf(const CloudFileInfo& record, int sortMode);
    // Compares two rows like CloudFileInfo::compareBySortMode, without making records.
    int compareRows(qsizetype a, qsizetype b, int sortMode) const;
    // Compares a row with a record like CloudFileInfo::compareBySortMode (row first).
    int compareRow(qsizetype a, const CloudFileInfo& b, int sortMode) const;
    // The same with the record's key made once, for many comparisons with one record.
    int compareRow(qsizetype a, const RowKey& b, int sortMode) const;
    // Orders the rows by less(a, b) on row indexes of the list as it stands, stably.
    template <class Less> void stableSortRows(Less less) {
        std::vector<quint32> order(m_entries.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = quint32(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](quint32 a, quint32 b) { return less(qsizetype(a), qsizetype(b)); });
        std::vector<Entry> sorted(m_entries.size());
        for (size_t i = 0; i < order.size(); ++i)
            sorted[i] = m_entries[order[i]];
        m_entries = std::move(sorted);
    }
    // Inserts records at sorted positions: `at[k]` is where records[k] goes counted in the list
    // as it stands (non-decreasing). Answers the new rows of the records.
    std::vector<qsizetype> insertSorted(const QList<CloudFileInfoPtr>& records,
                                        const std::vector<qsizetype>& at);
    // Removes the rows marked in `removed` (a bit per row: row i is bit i % 64 of word i / 64) and
    // inserts `count` records handed out by record(k) as insertSorted does, `at` counted in the
    // list as it stood, in one pass. Answers the new rows of the records.
    std::vector<qsizetype> spliceSorted(const std::vector<quint64>& removed, qsizetype count,
                                        const std::function<CloudFileInfoPtr(qsizetype)>& record,
                                        const std::vector<qsizetype>& at);

    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = CloudFileInfoPtr;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = CloudFileInfoPtr;
        const_iterator() = default;
        const_iterator(const CloudFileList* list, qsizetype i) : m_list(list), m_i(i) {}
        CloudFileInfoPtr operator*() const { return m_list->at(m_i); }
        CloudFileInfoPtr operator[](difference_type n) const { return m_list->at(m_i + n); }
        const_iterator& operator++() { return ++m_i, *this; }
        const_iterator operator++(int) { return {m_list, m_i++}; }
        const_iterator& operator--() { return --m_i, *this; }
        const_iterator operator--(int) { return {m_list, m_i--}; }
        const_iterator& operator+=(difference_type n) { return m_i += n, *this; }
        const_iterator& operator-=(difference_type n) { return m_i -= n, *this; }
        const_iterator operator+(difference_type n) const { return {m_list, m_i + n}; }
        const_iterator operator-(difference_type n) const { return {m_list, m_i - n}; }
        difference_type operator-(const const_iterator& o) const { return m_i - o.m_i; }
        bool operator==(const const_iterator& o) const { return m_i == o.m_i; }
        auto operator<=>(const const_iterator& o) const { return m_i <=> o.m_i; }

    private:
        const CloudFileList* m_list = nullptr;
        qsizetype m_i = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

private:
    RowKey rowKey(qsizetype i, bool byName) const;
    static int compareKeys(const RowKey& x, const RowKey& y, int sortMode);
    quint32 sourceIndex(const std::shared_ptr<const nubo::ListedRows>& rows);
    Entry single(CloudFileInfoPtr record);
    // `used`: how many rows are single records, when known.
    void dropUnusedSingles(size_t used = size_t(-1));

    std::vector<Entry> m_entries;
    std::vector<std::shared_ptr<const nubo::ListedRows>> m_sources;
    std::vector<CloudFileInfoPtr> m_singles;
    int m_sortedBy = -1;
};

Q_DECLARE_METATYPE(CloudFileList)
