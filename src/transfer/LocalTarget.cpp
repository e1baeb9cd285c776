#include "transfer/LocalTarget.h"

#include "transfer/CloudPaths.h"
#include "transfer/TransferErrors.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace nubo::transfer {

namespace {

QByteArray native(const QString& p) {
    return QFile::encodeName(p);
}

} // namespace

bool isInsideRoot(const QString& root, const QString& path) {
    const QString cleanRoot = QDir::cleanPath(root);
    if (cleanRoot.isEmpty() || !path.startsWith(cleanRoot + QLatin1Char('/')))
        return false;
    const QStringList parts = path.mid(cleanRoot.size() + 1).split(QLatin1Char('/'));
    return std::all_of(parts.begin(), parts.end(), isSafeLocalName);
}

BWError checkLocalTarget(const QString& root, const QString& path, bool allowExisting, bool createFolders) {
    if (!isInsideRoot(root, path))
        return transferError(kErrUnsafeName, path);
    const QString cleanRoot = QDir::cleanPath(root);
    struct stat st {};
    if (::stat(native(cleanRoot).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return transferError(kErrLocalWrite, cleanRoot);
    const QStringList parts = path.mid(cleanRoot.size() + 1).split(QLatin1Char('/'));
    QString at = cleanRoot;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        at += QLatin1Char('/') + parts[i];
        const bool last = i == parts.size() - 1;
        if (::lstat(native(at).constData(), &st) != 0) {
            if (errno != ENOENT)
                return transferError(kErrLocalWrite, at);
            if (last)
                return {};
            if (!createFolders || (::mkdir(native(at).constData(), 0755) != 0 && errno != EEXIST))
                return transferError(kErrLocalWrite, at);
            if (::lstat(native(at).constData(), &st) != 0)
                return transferError(kErrLocalWrite, at);
        }
        if (S_ISLNK(st.st_mode))
            return transferError(kErrUnsafeTarget, at);
        if (!last && !S_ISDIR(st.st_mode))
            return transferError(kErrUnsafeTarget, at);
        if (last && (!allowExisting || !S_ISREG(st.st_mode)))
            return transferError(S_ISREG(st.st_mode) ? kErrLocalWrite : kErrUnsafeTarget, at);
    }
    return {};
}

QString partialFolder(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/'))) + QStringLiteral("/.Download");
}

QString partialFile(const QString& path, qint64 jobId) {
    return partialFolder(path) + QStringLiteral("/%1.part").arg(jobId);
}

} // namespace nubo::transfer
