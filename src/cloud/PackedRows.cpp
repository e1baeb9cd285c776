#include "cloud/PackedRows.h"

#include "cloud/NameCollation.h"

#include <QMutex>

namespace nubo {

namespace {

void appendLength(QByteArray& out, quint32 v) {
    while (v >= 0x80) {
        out.append(char(v | 0x80));
        v >>= 7;
    }
    out.append(char(v));
}

QByteArrayView readField(const char*& p) {
    quint32 n = 0;
    for (int shift = 0;; shift += 7) {
        const quint8 b = quint8(*p++);
        n |= quint32(b & 0x7f) << shift;
        if (!(b & 0x80))
            break;
    }
    const QByteArrayView field(p, n);
    p += n;
    return field;
}

// Guards the first fill of a row's fields and the publishing of its key (both rare and short).
QBasicMutex g_rowTextLock;

} // namespace

quint32 PackedRows::append(QByteArrayView key, QByteArrayView name, QByteArrayView hash, quint32 folder) {
    rowAt.push_back(quint32(bytes.size()));
    for (QByteArrayView field : {key, name, hash}) {
        appendLength(bytes, quint32(field.size()));
        bytes.append(field);
    }
    if (folder != 0 && folderOf.empty())
        folderOf.assign(rowAt.size() - 1, 0);
    if (!folderOf.empty())
        folderOf.push_back(folder);
    return quint32(rowAt.size() - 1);
}

PackedRows::Row PackedRows::read(quint32 row) const {
    const char* p = bytes.constData() + rowAt[row];
    Row r;
    r.key = readField(p);
    r.name = readField(p);
    r.hash = readField(p);
    return r;
}

RowText& RowText::operator=(const RowText& other) {
    if (this != &other) {
        RowTextFields fields = other.get();
        get(); // a pending fill must not overwrite what is assigned now
        m_fields = std::move(fields);
        copyKey(other);
    }
    return *this;
}

void RowText::copyKey(const RowText& other) {
    // The other's key may be in the making on another thread: only a published one is read.
    if (other.m_keyReady.load(std::memory_order_acquire))
        setSortKey(other.m_sortKey);
    else
        clearSortKey();
}

void RowText::setPacked(std::shared_ptr<const PackedRows> rows, quint32 row) {
    m_fields = RowTextFields();
    clearSortKey();
    m_rows = std::move(rows);
    m_row = row;
    m_packed.store(true, std::memory_order_release);
}

const QByteArray& RowText::nameSortKey() const {
    const QString& name = get().name; // a packed row brings its key with it
    if (!m_keyReady.load(std::memory_order_acquire)) {
        // Made outside the lock (collation is the costly part); a reader that loses the race to
        // publish drops its own equal key.
        QByteArray key = collation::sortKey(name);
        QMutexLocker locker(&g_rowTextLock);
        if (!m_keyReady.load(std::memory_order_relaxed)) {
            m_sortKey = std::move(key);
            m_keyReady.store(true, std::memory_order_release);
        }
    }
    return m_sortKey;
}

void RowText::setSortKey(const QByteArray& key) {
    get(); // a pending fill must not overwrite what is given now
    m_sortKey = key;
    m_keyReady.store(true, std::memory_order_release);
}

void RowText::clearSortKey() {
    m_keyReady.store(false, std::memory_order_relaxed);
    m_sortKey.clear();
}

void RowText::fill() const {
    QMutexLocker locker(&g_rowTextLock);
    if (!m_packed.load(std::memory_order_relaxed))
        return;
    const PackedRows& rows = *m_rows;
    const PackedRows::Row r = rows.read(m_row);
    m_sortKey = r.key.toByteArray();
    m_keyReady.store(true, std::memory_order_release);
    m_fields.name = QString::fromUtf8(r.name);
    m_fields.fileHash = QString::fromUtf8(r.hash);
    m_fields.path = rows.folderOfRow(m_row) + m_fields.name;
    m_rows.reset();
    m_packed.store(false, std::memory_order_release);
}

} // namespace nubo
