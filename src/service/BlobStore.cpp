#include "service/BlobStore.h"
#include "foundation/DisplayText.h"
#include "service/CloudService.h"
#include "service/Sha1.h"
#include "storage/DataPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace nubo {

namespace {

constexpr int kSyncThreads = 8;
constexpr int kBackgroundSyncThreads = 4;

// The cause in the user's words first; the file and the system's text after it, for support.
BWError ioError(const QString& what) {
    const int err = errno;
    QString cause = text::systemErrorCause(err);
    if (cause.isEmpty())
        cause = QStringLiteral("读写文件出错");
    return BWError::withMessage(
        BWError::kDomainCloud, kCloudErrorStorage,
        QStringLiteral("存储失败：%1（%2：%3）").arg(cause, what, QString::fromLocal8Bit(strerror(err))));
}

bool syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Whether a temporary file named ".<sha1>.<pid>-<random>.tmp" was left by a process that has
// ended. Names without a process id (an older layout) count as left when written before this
// process started.
bool isLeftover(const QString& name, const struct stat& st) {
    static const QRegularExpression withPid(QStringLiteral("^\\.[0-9a-f]+\\.([0-9]+)-[0-9a-f]+\\.tmp$"));
    const QRegularExpressionMatch m = withPid.match(name);
    if (m.hasMatch()) {
        const qint64 pid = m.captured(1).toLongLong();
        return pid > 0 && pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
    }
    static const qint64 started = [] {
        // The kernel's start time of this process, in clock ticks after boot.
        QFile stat(QStringLiteral("/proc/self/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            return qint64(0);
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        bool ok = false;
        const qint64 ticks = fields.size() > 19 ? fields.at(19).toLongLong(&ok) : 0;
        const long hz = ::sysconf(_SC_CLK_TCK);
        timespec boot{}, wall{};
        if (!ok || hz <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &boot) != 0 ||
            ::clock_gettime(CLOCK_REALTIME, &wall) != 0)
            return qint64(0);
        const qint64 sinceBootNs = qint64(boot.tv_sec) * 1000000000 + boot.tv_nsec;
        return qint64(wall.tv_sec) * 1000000000 + wall.tv_nsec - (sinceBootNs - ticks * (1000000000 / hz));
    }();
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec < started;
}

} // namespace

// Blocks queued for a sync in the background. A block counts as durable only when its sync began
// after its last write: each write gives the block a new token, and a sync that ends with a
// different token than it began with proves nothing.
struct BlobStore::Background {
    std::mutex mutex;
    std::condition_variable queued;
    std::deque<QString> queue;
    QHash<QString, quint64> tokens; // queued or synced blocks, by the token of their last write
    QSet<QString> durable;
    QSet<QString> failed; // reported by the next sync that asks for them
    quint64 lastToken = 0;
    std::vector<std::thread> threads;
    int busy = 0; // syncs under way
    bool stopping = false;
};

BlobStore::BlobStore(QString folder)
    : m_folder(std::move(folder)), m_background(std::make_unique<Background>()) {}

BlobStore::~BlobStore() {
    {
        std::lock_guard lock(m_background->mutex);
        m_background->stopping = true;
    }
    m_background->queued.notify_all();
    for (auto& t : m_background->threads)
        t.join();
}

void BlobStore::syncSoon(const QString& sha1) {
    Background& b = *m_background;
    {
        std::lock_guard lock(b.mutex);
        b.tokens[sha1] = ++b.lastToken;
        b.durable.remove(sha1);
        b.queue.push_back(sha1);
        if (b.threads.empty())
            for (int t = 0; t < kBackgroundSyncThreads; ++t)
                b.threads.emplace_back([this] { backgroundSyncs(); });
    }
    b.queued.notify_one();
}

bool BlobStore::backgroundIdle() {
    std::lock_guard lock(m_background->mutex);
    return m_background->queue.empty() && m_background->busy == 0;
}

void BlobStore::backgroundSyncs() {
    Background& b = *m_background;
    std::unique_lock lock(b.mutex);
    for (;;) {
        b.queued.wait(lock, [&] { return b.stopping || !b.queue.empty(); });
        if (b.stopping)
            return;
        const QString sha1 = b.queue.front();
        b.queue.pop_front();
        const quint64 token = b.tokens.value(sha1);
        if (token == 0 || b.durable.contains(sha1))
            continue; // synced meanwhile
        ++b.busy;
        lock.unlock();
        const int fd = ::open(QFile::encodeName(pathOf(sha1)).constData(), O_RDONLY | O_CLOEXEC);
        const bool ok = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        lock.lock();
        --b.busy;
        if (!ok)
            b.failed.insert(sha1);
        else if (b.tokens.value(sha1) == token)
            b.durable.insert(sha1);
    }
}

int BlobStore::removeLeftovers() {
    int removed = 0;
    QDir root(m_folder);
    for (const QString& sub : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir dir(root.filePath(sub));
        for (const QString& name : dir.entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden)) {
            const QByteArray path = QFile::encodeName(dir.filePath(name));
            struct stat st {};
            if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && isLeftover(name, st) &&
                ::unlink(path.constData()) == 0)
                ++removed;
        }
    }
    return removed;
}

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
    // The writer's process id is part of the name: a later start tells the leftovers of an ended
    // process from files still being written.
    const QByteArray tmp =
        QFile::encodeName(folder + QStringLiteral("/.%1.%2-%3.tmp")
                                       .arg(sha1)
                                       .arg(::getpid())
                                       .arg(QString::number(QRandomGenerator::global()->generate64(), 16)));
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
    // A block already under the name may be durable and pointed at by a committed file: it is
    // never replaced by a copy that has not reached the disk, unless it is itself unsound (a
    // leftover of a crash, or damaged).
    const QByteArray name = QFile::encodeName(target);
    int rc = ::renameat2(AT_FDCWD, tmp.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE);
    if (rc != 0 && errno == EEXIST && isSound(sha1, bytes.size())) {
        ::unlink(tmp.constData());
        return {};
    }
    if (rc != 0 && (errno == EEXIST || errno == EINVAL)) // EINVAL: a file system without the flag
        rc = ::rename(tmp.constData(), name.constData());
    if (rc != 0) {
        BWError err = ioError(target);
        ::unlink(tmp.constData());
        return err;
    }
    // A copy synced (or failed to sync) before is no longer the one under the name.
    std::lock_guard lock(m_background->mutex);
    if (auto it = m_background->tokens.find(sha1); it != m_background->tokens.end()) {
        *it = ++m_background->lastToken;
        m_background->durable.remove(sha1);
    }
    m_background->failed.remove(sha1);
    return {};
}

bool BlobStore::isSound(const QString& sha1, qint64 size) const {
    auto bytes = read(sha1);
    return bytes.ok() && bytes.value.size() == size && Sha1::of(bytes.value) == sha1;
}

BWError BlobStore::sync(const QStringList& sha1s) {
    QList<QByteArray> files;
    QSet<QString> folders;
    bool failedBefore = false;
    {
        // What the background synced is durable; what it failed to sync fails this sync (a
        // second fsync after a failed one may report success for data that was lost). Either
        // way the blocks leave the background's books.
        Background& b = *m_background;
        std::lock_guard lock(b.mutex);
        for (const QString& sha1 : sha1s) {
            if (b.failed.remove(sha1))
                failedBefore = true;
            else if (!b.durable.contains(sha1))
                files.append(QFile::encodeName(pathOf(sha1)));
            b.durable.remove(sha1);
            b.tokens.remove(sha1);
            folders.insert(m_folder + QLatin1Char('/') + sha1.left(2));
        }
    }
    if (failedBefore) {
        errno = EIO;
        return ioError(m_folder);
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
    // Even a few at once: each waits on the journal, which commits the waiting ones together.
    const int threads = int(qBound<qsizetype>(1, files.size(), qsizetype(kSyncThreads)));
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
