#pragma once

#include "storage/Result.h"

#include <QByteArray>
#include <QString>

namespace nubo {

// Block bytes kept by their SHA-1 in a folder ("ab/abcdef..."). A block is written to a
// temporary name, synced, renamed into place and its folder synced, so a block that is visible
// under its name is complete. Blocks are never changed once written.
class BlobStore {
public:
    explicit BlobStore(QString folder) : m_folder(std::move(folder)) {}

    BWError write(const QString& sha1, const QByteArray& bytes);
    Result<QByteArray> read(const QString& sha1) const;
    bool exists(const QString& sha1) const;
    QString pathOf(const QString& sha1) const;

private:
    QString m_folder;
};

} // namespace nubo
