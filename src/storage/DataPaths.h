#pragma once

#include <QString>

namespace nubo::paths {

// Nubo's data folder: "Nubo" in the user's data location of QStandardPaths
// (~/.local/share/Nubo) unless one was set.
QString dataFolder();
// Earlier versions kept their data one level deeper, in "<folder>/Nubo". When that folder is all
// `folder` holds, it becomes `folder` itself (two renames, so nothing is copied and a start cut
// short half way finishes the move the next time). Anything else in `folder` leaves both alone.
// False only when a move was due and failed.
bool moveNestedDataFolder(const QString& folder);
// Sets the data folder (tests); an empty path goes back to the default.
void setDataFolder(const QString& folder);

// The user's Downloads folder as the desktop names it (XDG_DOWNLOAD_DIR of the user's
// user-dirs.dirs, else ~/Downloads). It may not be there yet.
QString downloadsFolder();
// Whether `folder` is a folder, after making it when it is the user's Downloads folder and
// missing: a fresh account may not have one yet, and downloads go there by default. Any other
// missing folder is left missing (it may be a drive that is not mounted).
bool prepareDownloadFolder(const QString& folder);

// Creates the folder (and missing parents) and makes it private to the user (0700).
bool makePrivateFolder(const QString& folder);
// Makes an existing file private to the user (0600).
bool makePrivateFile(const QString& file);

} // namespace nubo::paths
