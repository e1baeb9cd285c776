#pragma once

#include <QString>

namespace nubo::paths {

// Nubo's data folder: the application data location of QStandardPaths unless one was set.
QString dataFolder();
// Sets the data folder (tests); an empty path goes back to the default.
void setDataFolder(const QString& folder);

// Creates the folder (and missing parents) and makes it private to the user (0700).
bool makePrivateFolder(const QString& folder);
// Makes an existing file private to the user (0600).
bool makePrivateFile(const QString& file);

} // namespace nubo::paths
