#pragma once

#include "foundation/BWError.h"

#include <QString>

namespace nubo::transfer {

// Guards every local write of downloads: the path must lie inside `root` (the folder the user
// chose), each folder between them must be a real folder (never a symbolic link that could lead
// elsewhere; missing ones are made when `createFolders`), and what stands at the path itself
// must be nothing or, when `allowExisting`, a regular file.
BWError checkLocalTarget(const QString& root, const QString& path, bool allowExisting, bool createFolders);

// Whether every entry of `path` below `root` is a safe name (nothing leads outside `root`).
bool isInsideRoot(const QString& root, const QString& path);

// The folder for partial downloads beside the destination, and the partial file of a job.
QString partialFolder(const QString& path);
QString partialFile(const QString& path, qint64 jobId);

} // namespace nubo::transfer
