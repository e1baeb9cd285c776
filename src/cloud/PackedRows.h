#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
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

// The text fields of a record.
struct RowTextFields {
    QString name;
    QString path;
    QString fileHash;
};

// A record's text fields and the natural-order key of its name, made on first use. Safe to read
// from several threads at once: the first to publish a key does so under a lock.
class RowText {
public:
    RowText() = default;
    RowText(const RowText& other) : m_fields(other.m_fields) { copyKey(other); }
    RowText& operator=(const RowText& other);

    RowTextFields& get() const { return m_fields; }

    // The name's key, made from the name the first time it is asked for.
    const QByteArray& nameSortKey() const;
    // Gives a key already made for this name; clearSortKey drops it when the name changes.
    void setSortKey(const QByteArray& key);
    void clearSortKey();

private:
    void copyKey(const RowText& other);

    mutable RowTextFields m_fields;
    // Written once while m_keyReady is false, read only once it is true.
    mutable QByteArray m_sortKey;
    mutable std::atomic<bool> m_keyReady{false};
};

} // namespace nubo
