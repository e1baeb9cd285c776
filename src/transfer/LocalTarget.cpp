#include "transfer/LocalTarget.h"

#include "transfer/CloudPaths.h"
#include "transfer/TransferErrors.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace nubo::transfer {

bool isInsideRoot(const QString& root, const QString& path) {
    const QString cleanRoot = QDir::cleanPath(root);
    if (cleanRoot.isEmpty() || !path.startsWith(cleanRoot + QLatin1Char('/')))
        return false;
    const QStringList parts = path.mid(cleanRoot.size() + 1).split(QLatin1Char('/'));
    return std::all_of(parts.begin(), parts.end(), isSafeLocalName);
}

namespace {

std::mutex g_syncWatcherMutex;
std::function<void(int)> g_syncWatcher;

// An entry that could not be opened as a real folder: ELOOP or ENOTDIR mean a link or a
// non-folder stood there at that moment (refused as unsafe); anything else is a write failure.
BWError notAFolder(const QString& shown, int err) {
    if (err == ELOOP || err == ENOTDIR)
        return transferError(kErrUnsafeTarget, shown);
    return localWriteError(shown, err);
}

} // namespace

bool syncToDisk(int fd) {
    std::function<void(int)> watcher;
    {
        std::lock_guard<std::mutex> lock(g_syncWatcherMutex);
        watcher = g_syncWatcher;
    }
    if (watcher)
        watcher(fd);
    return ::fsync(fd) == 0;
}

void setSyncWatcherForTesting(std::function<void(int fd)> watcher) {
    std::lock_guard<std::mutex> lock(g_syncWatcherMutex);
    g_syncWatcher = std::move(watcher);
}

BWError openTargetFolder(const QString& root, const QString& path, bool createFolders, Fd& folder) {
    if (!isInsideRoot(root, path))
        return transferError(kErrUnsafeName, path);
    const QString cleanRoot = QDir::cleanPath(root);
    // The chosen folder itself may be reached through a link the user made; below it, never.
    Fd at(::open(QFile::encodeName(cleanRoot).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (at.get() < 0)
        return localWriteError(cleanRoot, errno);
    const QStringList parts = path.mid(cleanRoot.size() + 1).split(QLatin1Char('/'));
    QString shown = cleanRoot;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        shown += QLatin1Char('/') + parts[i];
        const QByteArray name = QFile::encodeName(parts[i]);
        int next = ::openat(at.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && createFolders) {
            if (::mkdirat(at.get(), name.constData(), 0755) != 0 && errno != EEXIST)
                return localWriteError(shown, errno);
            next = ::openat(at.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (next < 0)
            return notAFolder(shown, errno);
        at.reset(next);
    }
    folder.reset(at.release());
    return {};
}

BWError refuseNonFolder(const QString& shown, int err) {
    return notAFolder(shown, err);
}

BWError checkTargetEntry(int folder, const QByteArray& name, bool allowExisting, const QString& shown) {
    struct stat st {};
    if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? BWError() : localWriteError(shown, errno);
    if (!S_ISREG(st.st_mode))
        return transferError(kErrUnsafeTarget, shown);
    return allowExisting ? BWError() : localWriteError(shown, EEXIST);
}

bool partialBesideDestination(int folder, const QByteArray& destinationName) {
    struct stat st {};
    return destinationName == kPartialFolderName ||
           (::fstatat(folder, kPartialFolderName, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode));
}

QByteArray partialName(const QByteArray& destinationName, qint64 jobId, bool beside) {
    const QByteArray part = QByteArray::number(jobId) + ".part";
    return beside ? '.' + destinationName + '.' + part : part;
}

} // namespace nubo::transfer
