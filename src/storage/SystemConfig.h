#pragma once

#include "storage/SingletonT.h"
#include "storage/SystemDatabase.h"

#include <QMap>
#include <QMutex>

namespace nubo {

// The four system-wide settings, over "config_info" of the system database. Every saved value is
// loaded once; reads are answered from memory and each change is written through at once. Safe
// from any thread. Reached through SingletonT<SystemConfig>::instance().
class SystemConfig {
public:
    static inline const QString kCloudFileSort = QStringLiteral("cloudfile_sort");
    static inline const QString kFilelistViewMode = QStringLiteral("FilelistViewMode");
    static inline const QString kShouldSelectDownloadPath = QStringLiteral("ShouldSelectDownloadPath");
    static inline const QString kDownloadPath = QStringLiteral("DownloadPath");

    // Opens "system.db" in the data folder (nubo::paths::dataFolder()).
    SystemConfig();
    // Opens "system.db" in the given folder.
    explicit SystemConfig(const QString& folder);

    int getCloudFileSort() const; // default 3
    void setCloudFileSort(int mode);
    int getFilelistViewMode() const; // default 0 (list)
    void setFilelistViewMode(int mode);
    bool getShouldSelectDownloadPath() const; // default true
    void setShouldSelectDownloadPath(bool ask);
    QString getDownloadPath() const; // default: the user's Downloads folder
    void setDownloadPath(const QString& path);

    // The failure of opening the database or of the last write; the settings still work in
    // memory when it is set.
    BWError lastError() const;
    bool wasRebuilt() const;

private:
    void save(const QString& key, const QString& value);

    mutable QMutex m_mutex;
    std::unique_ptr<SystemDatabase> m_db;
    int m_sort = 3;
    int m_viewMode = 0;
    bool m_shouldSelect = true;
    QString m_downloadPath;
    BWError m_error;
};

} // namespace nubo
