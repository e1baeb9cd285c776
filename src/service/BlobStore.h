#pragma once

#include "foundation/Result.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace nubo {

// Block bytes kept by their SHA-1 in a folder ("ab/abcdef..."). A block is written to a
// temporary name and renamed into place, so a block visible under its name was written whole
// (a crash of the process cannot tear it). Reaching the disk is a separate step: `sync` makes
// many blocks durable at once, and must come before anything durable points at them. Blocks
// are never changed once written, except that a damaged one may be written again.
class BlobStore {
public:
    explicit BlobStore(QString folder);
    ~BlobStore();

    // Writes the block and starts (without waiting for) its way to the disk.
    BWError write(const QString& sha1, const QByteArray& bytes);
    // Has a block just written synced by a background thread, so that a later `sync` of a big
    // file finds most of its blocks durable already.
    void syncSoon(const QString& sha1);
    // Makes the blocks and their names durable: every file and folder synced, several at a time
    // (blocks synced in the background since their last write excepted).
    BWError sync(const QStringList& sha1s);
    // Whether the background has no block left to sync (tests).
    bool backgroundIdle();
    Result<QByteArray> read(const QString& sha1) const;
    // Whether the block under the name holds `size` bytes that match its SHA-1.
    bool isSound(const QString& sha1, qint64 size) const;
    bool exists(const QString& sha1) const;
    QString pathOf(const QString& sha1) const;
    // Removes temporary files that an ended process left (killed between writing a block and its
    // rename). The number removed.
    int removeLeftovers();

private:
    struct Background;
    void backgroundSyncs();

    QString m_folder;
    std::unique_ptr<Background> m_background;
};

} // namespace nubo
