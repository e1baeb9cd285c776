#pragma once

#include "foundation/BWError.h"
#include "transfer/PosixFile.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace nubo::transfer {

// Whether every entry of `path` below `root` is a safe name (nothing leads outside `root`).
bool isInsideRoot(const QString& root, const QString& path);

// Makes what was written through `fd` durable: a file's bytes and size, or a folder's entries.
// False with errno set when the disk did not take it.
bool syncToDisk(int fd);
// Tests see every call of syncToDisk, on the thread that makes it, before the sync.
void setSyncWatcherForTesting(std::function<void(int fd)> watcher);

// Opens the folder that holds `path` (which must lie inside `root`, the folder the user chose):
// from the root one entry at a time, each a real folder opened without following a link
// (missing ones are made when `createFolders`). Downloads work relative to this descriptor from
// then on, so a folder on the way swapped for a link while they run is never written through.
BWError openTargetFolder(const QString& root, const QString& path, bool createFolders, Fd& folder);

// The failure of opening an entry as a folder without following links (errno `err`).
BWError refuseNonFolder(const QString& shown, int err);

// What stands at `name` in the folder must be nothing or, when `allowExisting`, a regular file.
// `shown` is the path named in the error.
BWError checkTargetEntry(int folder, const QByteArray& name, bool allowExisting, const QString& shown);

// The folder for partial downloads beside the destination. A destination of that very name, or
// one whose folder holds something other than a folder under it (a file downloaded there, say),
// keeps its partial file beside it instead, under a hidden name.
inline const char* const kPartialFolderName = ".Download";
bool partialBesideDestination(int folder, const QByteArray& destinationName);
QByteArray partialName(const QByteArray& destinationName, qint64 jobId, bool beside);

} // namespace nubo::transfer
