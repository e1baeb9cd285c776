#pragma once

#include "foundation/Dispatch.h"
#include "foundation/SingletonT.h"
#include "storage/SystemDatabase.h"

#include <QMap>
#include <QMutex>

namespace nubo {

// The four system-wide settings, over "config_info" of the system database. Every saved value is
// loaded once and kept in memory; reads and changes touch only memory, so no caller waits on the
// disk. Changes are written on the background thread a moment later, several in one transaction
// (a burst of changes is one write), and flush() or the destructor writes what is still pending.
// Safe from any thread. Reached through SingletonT<SystemConfig>::instance().
class SystemConfig {
public:
    static inline const QString kCloudFileSort = QStringLiteral("cloudfile_sort");
    static inline const QString kFilelistViewMode = QStringLiteral("FilelistViewMode");
    static inline const QString kShouldSelectDownloadPath = QStringLiteral("ShouldSelectDownloadPath");
    static inline const QString kDownloadPath = QStringLiteral("DownloadPath");
    // How long a change waits for others before it is written.
    static constexpr int kWriteDelayMs = 200;

    // Opens "system.db" in the data folder (nubo::paths::dataFolder()).
    SystemConfig();
    // Opens "system.db" in the given folder.
    explicit SystemConfig(const QString& folder);
    // Writes what is pending.
    ~SystemConfig();

    int getCloudFileSort() const; // default 3
    void setCloudFileSort(int mode);
    int getFilelistViewMode() const; // default 0 (list)
    void setFilelistViewMode(int mode);
    bool getShouldSelectDownloadPath() const; // default true
    void setShouldSelectDownloadPath(bool ask);
    QString getDownloadPath() const; // default: the user's Downloads folder
    void setDownloadPath(const QString& path);

    // Writes the pending changes now, on the calling thread (shutdown, tests).
    void flush();
    // How many times changes were written (each write is one transaction).
    int writeCount() const;

    // The failure of opening the database or of the last write; the settings still work in
    // memory when it is set.
    BWError lastError() const;
    bool wasRebuilt() const;

private:
    void change(const QString& key, const QString& value);

    mutable QMutex m_mutex; // the values, the pending changes and the error; never held for I/O
    QMutex m_writeMutex;    // one write at a time, in the order the changes were taken
    std::unique_ptr<SystemDatabase> m_db;
    int m_sort = 3;
    int m_viewMode = 0;
    bool m_shouldSelect = true;
    QString m_downloadPath;
    QMap<QString, QString> m_pending;
    bool m_writeScheduled = false;
    int m_writes = 0;
    BWError m_error;
    std::unique_ptr<BackgroundContext> m_context; // last: gone first, with its queued write
};

} // namespace nubo
