#include "cloud/PackedRows.h"

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

} // namespace nubo
