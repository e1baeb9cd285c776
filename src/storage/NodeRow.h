#pragma once

#include "storage/Database.h"
#include "storage/NodeRecord.h"

namespace nubo {

// The node columns shared by the per-user node table and the service's node table, in the order
// readNodeRow() expects them.
inline const QString& nodeColumns() {
    static const QString c = QStringLiteral(
        "nid, pid, name, path, is_dir, size, mtime, ctime, category, file_hash, status, is_link, is_sync, "
        "is_edit_lock, version");
    return c;
}

// The columns a copied record and a row view read alike.
template <class Row> void readNodeNumbers(const Query& q, Row& n) {
    n.nid = q.int64(0);
    n.pid = q.int64(1);
    n.isDir = q.int64(4) != 0;
    n.size = quint64(q.int64(5));
    n.mtime = qint32(q.int64(6));
    n.ctime = qint32(q.int64(7));
    n.category = qint32(q.int64(8));
    n.status = qint32(q.int64(10));
    n.isLink = q.int64(11) != 0;
    n.isSync = q.int64(12) != 0;
    n.isEditLock = q.int64(13) != 0;
    n.version = q.int64(14);
}

inline NodeRecord readNodeRow(const Query& q) {
    NodeRecord n;
    readNodeNumbers(q, n);
    n.name = q.text(2);
    n.path = q.text(3);
    n.fileHash = q.text(9);
    return n;
}

// The same row without copies (see NodeRowView).
inline NodeRowView viewNodeRow(const Query& q) {
    NodeRowView n;
    readNodeNumbers(q, n);
    n.name = q.textView(2);
    n.hash = q.textView(9);
    return n;
}

// Every path strictly below `path` lies in [subtreeLow, subtreeHigh): "0" follows "/".
inline QString subtreeLow(const QString& path) {
    return path == QLatin1String("/") ? path : QString(path + QLatin1Char('/'));
}
inline QString subtreeHigh(const QString& path) {
    return path == QLatin1String("/") ? QStringLiteral("0") : QString(path + QLatin1Char('0'));
}

} // namespace nubo
