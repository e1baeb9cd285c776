#pragma once

#include "foundation/BWError.h"

#include <QString>

namespace nubo::transfer {

// Local failures of transfers and sync operations, domain "KZApplication".
enum TransferErrorCode {
    // Conflicts of the sync operations; their text is the conflicting path.
    kErrConflictFolderUpload = -121,
    kErrConflictFileCloud = -122,
    kErrConflictFolderLocal = -123,
    kErrConflictFileLocal = -124,
    kErrConflictFolderMove = -125,

    kErrLocalRead = -201,    // the local file cannot be read
    kErrLocalWrite = -202,   // the local file cannot be written
    kErrLocalChanged = -203, // the local file changed while it was sent
    kErrUnsafeName = -204,   // a cloud name that would leave the chosen folder
    kErrUnsafeTarget = -205, // a symbolic link or other non-file planted at the destination
    kErrBlockHash = -206,    // a downloaded block does not match its SHA-1
    kErrCancelled = -207,
    kErrNotSignedIn = -208,
    kErrSourceMissing = -209, // the local source or cloud node is gone
};

// The error of `code` with its user-facing text; `detail` (a path) is kept under "path".
BWError transferError(int code, const QString& detail = {});

// A failed local write (kErrLocalWrite) whose text adds the cause a user can act on, when the
// system error `err` names one (no space left, no permission, name too long, ...).
BWError localWriteError(const QString& path, int err);

// A conflict: the conflicting path is the error's text.
BWError conflictError(int code, const QString& path);

} // namespace nubo::transfer
