#include "service/BlobStore.h"
#include "service/CloudService.h"
#include "storage/DataPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace nubo {

namespace {

constexpr int kSyncThreads = 8;

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
    // Writeback starts now, so that the sync before the commit mostly finds it done.
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    ::close(fd);
    if (::rename(tmp.constData(), QFile::encodeName(target).constData()) != 0) {
        BWError err = ioError(target);
        ::unlink(tmp.constData());
        return err;
    }
    return {};
}

BWError BlobStore::sync(const QStringList& sha1s) {
    QList<QByteArray> files;
    QSet<QString> folders;
    for (const QString& sha1 : sha1s) {
        files.append(QFile::encodeName(pathOf(sha1)));
        folders.insert(m_folder + QLatin1Char('/') + sha1.left(2));
    }
    for (const QString& folder : folders)
        files.append(QFile::encodeName(folder));
    // Syncs run side by side: the file system groups them into fewer journal commits.
    std::atomic<qsizetype> next{0};
    std::atomic<bool> failed{false};
    auto worker = [&] {
        for (qsizetype i = next++; i < files.size() && !failed; i = next++) {
            const int fd = ::open(files[i].constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || ::fsync(fd) != 0)
                failed = true;
            if (fd >= 0)
                ::close(fd);
        }
    };
    const int threads = int(qBound<qsizetype>(1, files.size() / 16, qsizetype(kSyncThreads)));
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(worker);
    worker();
    for (auto& h : helpers)
        h.join();
    return failed ? ioError(m_folder) : BWError();
}

Result<QByteArray> BlobStore::read(const QString& sha1) const {
    QFile f(pathOf(sha1));
    if (!f.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(ioError(f.fileName()));
    return {f.readAll(), {}};
}

} // namespace nubo
