#include "storage/DataPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <cstdio>

namespace nubo::paths {

namespace {
QMutex g_mutex;
QString g_folder;
} // namespace

QString dataFolder() {
    QMutexLocker lock(&g_mutex);
    if (!g_folder.isEmpty())
        return g_folder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Nubo");
}

bool moveNestedDataFolder(const QString& folder) {
    const QString name = QStringLiteral("Nubo");
    const QString nested = folder + QLatin1Char('/') + name;
    const QString moving = folder + QStringLiteral(".moving");
    const auto rename = [](const QString& from, const QString& to) {
        return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
    };
    const auto isDir = [](const QString& path) {
        return QFileInfo(path).isDir() && !QFileInfo(path).isSymLink();
    };
    // A move cut short after its first step.
    if (!QFileInfo::exists(folder) && isDir(moving + QLatin1Char('/') + name)) {
        if (!rename(moving + QLatin1Char('/') + name, folder))
            return false;
        QDir().rmdir(moving);
        return true;
    }
    if (!isDir(nested))
        return true;
    const QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (entries != QStringList{name})
        return true;
    if (!rename(folder, moving))
        return false;
    if (!rename(moving + QLatin1Char('/') + name, folder)) {
        rename(moving, folder); // put it back as it was
        return false;
    }
    QDir().rmdir(moving);
    return true;
}

void setDataFolder(const QString& folder) {
    QMutexLocker lock(&g_mutex);
    g_folder = folder;
}

QString downloadsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

bool prepareDownloadFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    if (QFileInfo(folder).isDir())
        return true;
    const QString downloads = downloadsFolder();
    if (downloads.isEmpty() || QDir::cleanPath(folder) != QDir::cleanPath(downloads))
        return false;
    return QDir().mkpath(downloads) && QFileInfo(downloads).isDir();
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
