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
    QByteArray sortKey;
    bool sortKeyValid = false;
};

// A record's text fields, read from packed rows on first use. Safe to read from several threads
// at once (the first read fills under a lock); a copy is filled and no longer packed.
class RowText {
public:
    RowText() = default;
    RowText(const RowText& other) : m_fields(other.get()) {}
    RowText& operator=(const RowText& other);

    // The fields, filled first when still packed (mutable: the name key is cached on read).
    RowTextFields& get() const {
        if (m_packed.load(std::memory_order_acquire))
            fill();
        return m_fields;
    }
    void setPacked(std::shared_ptr<const PackedRows> rows, quint32 row);

private:
    void fill() const;

    mutable RowTextFields m_fields;
    mutable std::shared_ptr<const PackedRows> m_rows;
    quint32 m_row = 0;
    mutable std::atomic<bool> m_packed{false};
};

} // namespace nubo
