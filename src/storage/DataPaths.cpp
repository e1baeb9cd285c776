#include "storage/DataPaths.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>

namespace nubo::paths {

namespace {
QMutex g_mutex;
QString g_folder;
} // namespace

QString dataFolder() {
    QMutexLocker lock(&g_mutex);
    if (!g_folder.isEmpty())
        return g_folder;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void setDataFolder(const QString& folder) {
    QMutexLocker lock(&g_mutex);
    g_folder = folder;
}

bool makePrivateFolder(const QString& folder) {
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return false;
    return QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool makePrivateFile(const QString& file) {
    return QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace nubo::paths
