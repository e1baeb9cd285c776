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

// Guards the publishing of a name key (rare and short).
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
        m_fields = other.m_fields;
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

const QByteArray& RowText::nameSortKey() const {
    const QString& name = m_fields.name;
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
    m_sortKey = key;
    m_keyReady.store(true, std::memory_order_release);
}

void RowText::clearSortKey() {
    m_keyReady.store(false, std::memory_order_relaxed);
    m_sortKey.clear();
}

} // namespace nubo
