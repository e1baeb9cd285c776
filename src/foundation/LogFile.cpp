#include "foundation/LogFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace nubo {

namespace {
// A runaway message (a long list of names) is cut, so that one line cannot crowd out the rest.
constexpr qsizetype kMaxLineBytes = 16 * 1024;
} // namespace

LogFile::LogFile(const QString& folder, qint64 maxFileBytes)
    : m_folder(folder), m_path(QFile::encodeName(folder + u'/' + kFileName)),
      m_backupPath(QFile::encodeName(folder + u'/' + kBackupName)), m_maxFileBytes(maxFileBytes) {
    m_thread = std::thread([this] { run(); });
}

LogFile::~LogFile() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void LogFile::append(const QByteArray& line) {
    {
        std::lock_guard lock(m_mutex);
        ++m_appended;
        if (m_stop || m_queuedBytes + line.size() > kMaxQueuedBytes) {
            ++m_handled;
            ++m_dropped;
            return;
        }
        m_queue.push_back(line.size() > kMaxLineBytes ? line.left(kMaxLineBytes) : line);
        m_queuedBytes += m_queue.back().size();
    }
    m_wake.notify_one();
}

bool LogFile::flush(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    const quint64 target = m_appended;
    return m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_handled >= target; });
}

QStringList LogFile::files() const {
    QStringList out;
    for (const QString& name : {kBackupName, kFileName})
        if (QFileInfo(m_folder + u'/' + name).isFile())
            out.append(m_folder + u'/' + name);
    return out;
}

qint64 LogFile::droppedLines() const {
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

void LogFile::run() {
    // The file is there from the start, so that a report made before any line still carries it.
    ensureOpen();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            break; // stopping, and everything is written
        std::deque<QByteArray> batch;
        batch.swap(m_queue);
        m_queuedBytes = 0;
        lock.unlock();
        for (const QByteArray& line : batch)
            writeLine(line);
        lock.lock();
        m_handled += batch.size();
        m_done.notify_all();
    }
    closeFile();
}

void LogFile::writeLine(const QByteArray& line) {
    const QByteArray bytes = line + '\n';
    if (m_fd >= 0 && m_size > 0 && m_size + bytes.size() > m_maxFileBytes)
        roll();
    if (!ensureOpen()) {
        std::lock_guard lock(m_mutex);
        ++m_dropped;
        return;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A full disk keeps the file open for when space comes back; anything else opens
            // it afresh for the next line.
            if (errno != ENOSPC && errno != EDQUOT)
                closeFile();
            std::lock_guard lock(m_mutex);
            ++m_dropped;
            return;
        }
        done += n;
        m_size += n;
    }
}

bool LogFile::ensureOpen() {
    if (m_fd >= 0)
        return true;
    if (!QDir().mkpath(m_folder))
        return false;
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_fd = ::open(m_path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return false;
    struct stat st = {};
    if (::fstat(m_fd, &st) == 0) {
        // A file left by another program or an earlier version is made private too.
        if (S_ISREG(st.st_mode) && (st.st_mode & 0077))
            ::fchmod(m_fd, 0600);
        m_size = S_ISREG(st.st_mode) ? st.st_size : 0;
    }
    return true;
}

void LogFile::roll() {
    closeFile();
    // When the file cannot become the backup it starts over, so the log stays within its limit.
    if (::rename(m_path.constData(), m_backupPath.constData()) != 0 && errno != ENOENT) [[maybe_unused]]
        const int ignored = ::truncate(m_path.constData(), 0);
}

void LogFile::closeFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

namespace log {

namespace {

struct FileLogState {
    std::mutex mutex;
    std::shared_ptr<LogFile> file;
    QtMessageHandler previous = nullptr;
    bool installed = false;
};

// Kept to the very end: Qt may log from other threads while statics are destroyed.
FileLogState& state() {
    static auto* s = new FileLogState;
    return *s;
}

bool isNuboCategory(const char* category) {
    return category && qstrncmp(category, "nubo", 4) == 0 && (category[4] == '\0' || category[4] == '.');
}

const char* levelName(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return "DEBUG";
    case QtInfoMsg:
        return "INFO";
    case QtWarningMsg:
        return "WARN";
    case QtCriticalMsg:
        return "ERROR";
    case QtFatalMsg:
        return "FATAL";
    }
    return "?";
}

QByteArray formatLine(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    QByteArray line =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    line += ' ';
    line += levelName(type);
    line += ' ';
    line += context.category;
    line += ": ";
    // One message is one line: a newline inside it could pass for a line of its own.
    QByteArray text = message.toUtf8();
    text.replace('\n', "\\n").replace('\r', "\\r");
    line += text;
    if (context.file)
        line += " (" + QByteArray(context.file) + ':' + QByteArray::number(context.line) + ')';
    return line;
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    FileLogState& s = state();
    const bool kept = type != QtDebugMsg && isNuboCategory(context.category);
    QtMessageHandler previous;
    std::shared_ptr<LogFile> file;
    {
        std::lock_guard lock(s.mutex);
        previous = s.previous;
        if (kept)
            file = s.file;
    }
    if (file) {
        file->append(formatLine(type, context, message));
        // The program ends after a fatal message: its line is written before that.
        if (type == QtFatalMsg)
            file->flush(1000);
    }
    if (previous)
        previous(type, context, message);
}

} // namespace

void startFileLog(const QString& folder, qint64 maxFileBytes) {
    FileLogState& s = state();
    std::shared_ptr<LogFile> old;
    {
        std::lock_guard lock(s.mutex);
        old = std::move(s.file);
        s.file = std::make_shared<LogFile>(folder, maxFileBytes);
        if (!s.installed) {
            s.installed = true;
            s.previous = qInstallMessageHandler(handler);
        }
    }
}

namespace {
std::shared_ptr<LogFile> current() {
    std::lock_guard lock(state().mutex);
    return state().file;
}
} // namespace

void stopFileLog() {
    std::shared_ptr<LogFile> old;
    {
        std::lock_guard lock(state().mutex);
        old = std::move(state().file);
    }
    // `old` writes what is queued as it goes, outside the lock, so other threads keep logging.
}

bool flushFileLog(int timeoutMs) {
    // Waited for outside the lock: the other threads' lines go on being taken meanwhile.
    const std::shared_ptr<LogFile> file = current();
    return file ? file->flush(timeoutMs) : true;
}

QStringList fileLogFiles() {
    const std::shared_ptr<LogFile> file = current();
    return file ? file->files() : QStringList();
}

} // namespace log

} // namespace nubo
