#include "service/BlobStore.h"
#include "service/CloudService.h"
#include "storage/DataPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace nubo {

namespace {

BWError ioError(const QString& what) {
    return BWError::withMessage(
        BWError::kDomainCloud, kCloudErrorStorage,
        QStringLiteral("存储失败：%1 (%2)").arg(what, QString::fromLocal8Bit(strerror(errno))));
}

bool syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

QString BlobStore::pathOf(const QString& sha1) const {
    return m_folder + QLatin1Char('/') + sha1.left(2) + QLatin1Char('/') + sha1;
}

bool BlobStore::exists(const QString& sha1) const {
    return QFileInfo::exists(pathOf(sha1));
}

BWError BlobStore::write(const QString& sha1, const QByteArray& bytes) {
    const QString target = pathOf(sha1);
    const QString folder = QFileInfo(target).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!paths::makePrivateFolder(folder))
            return ioError(folder);
        syncFolder(QFile::encodeName(m_folder));
    }
    const QByteArray tmp = QFile::encodeName(folder + QStringLiteral("/.") + sha1 + QLatin1Char('.') +
                                             QString::number(QRandomGenerator::global()->generate64(), 16) +
                                             QStringLiteral(".tmp"));
    const int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return ioError(target);
    const char* p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            BWError err = ioError(target);
            ::close(fd);
            ::unlink(tmp.constData());
            return err;
        }
        p += n;
        left -= n;
    }
    if (::fsync(fd) != 0) {
        BWError err = ioError(target);
        ::close(fd);
        ::unlink(tmp.constData());
        return err;
    }
    ::close(fd);
    if (::rename(tmp.constData(), QFile::encodeName(target).constData()) != 0) {
        BWError err = ioError(target);
        ::unlink(tmp.constData());
        return err;
    }
    if (!syncFolder(QFile::encodeName(folder)))
        return ioError(folder);
    return {};
}

Result<QByteArray> BlobStore::read(const QString& sha1) const {
    QFile f(pathOf(sha1));
    if (!f.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(ioError(f.fileName()));
    return {f.readAll(), {}};
}

} // namespace nubo
