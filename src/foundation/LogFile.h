#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace nubo {

// An appended log file that rolls to one backup: lines go to "nubo.log" in a folder; when the
// next line would take it past the limit it becomes "nubo.log.1" (replacing the backup before
// it) and a fresh "nubo.log" starts. A thread of its own writes, so append() never waits on the
// disk: lines that cannot be written (the folder cannot be made, the disk is full, too many
// wait at once) are dropped and counted, and the program goes on. The folder is made 0700, the
// files 0600.
class LogFile {
public:
    static constexpr qint64 kMaxFileBytes = 10 * 1024 * 1024;
    // Lines waiting for the writer beyond this are dropped rather than held.
    static constexpr qint64 kMaxQueuedBytes = 1024 * 1024;
    static inline const QString kFileName = QStringLiteral("nubo.log");
    static inline const QString kBackupName = QStringLiteral("nubo.log.1");

    explicit LogFile(const QString& folder, qint64 maxFileBytes = kMaxFileBytes);
    // Writes what is queued, then ends the writer.
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    QString folder() const { return m_folder; }
    // One line (without its newline); any thread.
    void append(const QByteArray& line);
    // Waits up to `timeoutMs` until every line appended before the call is written or dropped;
    // false when the time ran out.
    bool flush(int timeoutMs);
    // The log files there are, the backup first.
    QStringList files() const;
    qint64 droppedLines() const;

private:
    void run();
    void writeLine(const QByteArray& line);
    bool ensureOpen();
    void roll();
    void closeFile();

    const QString m_folder;
    const QByteArray m_path;
    const QByteArray m_backupPath;
    const qint64 m_maxFileBytes;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<QByteArray> m_queue;
    qint64 m_queuedBytes = 0;
    quint64 m_appended = 0; // lines taken or dropped by append()
    quint64 m_handled = 0;  // of those, lines the writer has finished with
    qint64 m_dropped = 0;
    bool m_stop = false;

    // The writer thread's own.
    int m_fd = -1;
    qint64 m_size = 0;

    std::thread m_thread;
};

namespace log {

// Sends the lines of Nubo's logging categories ("nubo.*"), info level and up, to a LogFile in
// `folder` as well as wherever they went before (the terminal stays as it was). A second call
// moves the log to the new folder.
void startFileLog(const QString& folder, qint64 maxFileBytes = LogFile::kMaxFileBytes);
// Writes what is queued and stops writing to the file.
void stopFileLog();
// Waits for the running log's writer (see LogFile::flush); true when there is none.
bool flushFileLog(int timeoutMs);
// The running log's files, the backup first; empty when no log runs.
QStringList fileLogFiles();

} // namespace log

} // namespace nubo
