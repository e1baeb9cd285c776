#include "cloud/PackedRows.h"

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
    }
    return *this;
}

void RowText::setPacked(std::shared_ptr<const PackedRows> rows, quint32 row) {
    m_fields = RowTextFields();
    m_rows = std::move(rows);
    m_row = row;
    m_packed.store(true, std::memory_order_release);
}

void RowText::fill() const {
    static QBasicMutex lock;
    QMutexLocker locker(&lock);
    if (!m_packed.load(std::memory_order_relaxed))
        return;
    const PackedRows& rows = *m_rows;
    const PackedRows::Row r = rows.read(m_row);
    m_fields.sortKey = r.key.toByteArray();
    m_fields.sortKeyValid = true;
    m_fields.name = QString::fromUtf8(r.name);
    m_fields.fileHash = QString::fromUtf8(r.hash);
    m_fields.path = rows.folderOfRow(m_row) + m_fields.name;
    m_rows.reset();
    m_packed.store(false, std::memory_order_release);
}

} // namespace nubo
