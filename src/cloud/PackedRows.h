#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace nubo {

// The text of many listed records packed into one buffer by the session, so that a listing of
// 100,000 rows allocates strings only for the rows that are read (a page paints a screenful).
struct PackedRows {
    QByteArray bytes;              // per row: name key, exact UTF-8 name, hash; each length-prefixed
    std::vector<quint32> rowAt;    // where each row starts in `bytes`
    std::vector<QString> folders;  // folder paths, each ending in "/"
    std::vector<quint32> folderOf; // each row's folder; empty when every row is in folders[0]

    // Adds a row and returns its index.
    quint32 append(QByteArrayView key, QByteArrayView name, QByteArrayView hash, quint32 folder);

    struct Row {
        QByteArrayView key;
        QByteArrayView name;
        QByteArrayView hash;
    };
    Row read(quint32 row) const;
    const QString& folderOfRow(quint32 row) const { return folders[folderOf.empty() ? 0 : folderOf[row]]; }
};

} // namespace nubo
