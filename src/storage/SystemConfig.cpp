#include "storage/SystemConfig.h"
#include "foundation/Log.h"
#include "storage/DataPaths.h"

#include <QDir>

namespace nubo {

SystemConfig::SystemConfig() : SystemConfig(paths::dataFolder()) {}

SystemConfig::SystemConfig(const QString& folder) {
    // The Downloads folder is looked up once; it is the default while no path is saved.
    m_downloadPath = paths::downloadsFolder();
    auto opened = SystemDatabase::open(folder);
    if (!opened.ok()) {
        m_error = opened.error;
        return;
    }
    m_db = std::move(opened.value);
    m_context = std::make_unique<BackgroundContext>();
    const auto loaded = m_db->configInfo().loadAll();
    if (!loaded.ok()) {
        m_error = loaded.error;
        return;
    }
    const QMap<QString, QString>& v = loaded.value;
    bool ok = false;
    if (int n = v.value(kCloudFileSort).toInt(&ok); ok)
        m_sort = n;
    if (int n = v.value(kFilelistViewMode).toInt(&ok); ok)
        m_viewMode = n;
    if (v.contains(kShouldSelectDownloadPath))
        m_shouldSelect = v.value(kShouldSelectDownloadPath) != QLatin1String("0");
    // Only a full path is a folder: a relative one (a hand-edited or damaged file) would put
    // downloads wherever Nubo happened to be started.
    if (const QString saved = v.value(kDownloadPath); QDir::isAbsolutePath(saved))
        m_downloadPath = saved;
}

SystemConfig::~SystemConfig() {
    m_context.reset(); // no queued write runs after this
    flush();
}

void SystemConfig::change(const QString& key, const QString& value) {
    // Called with m_mutex held: memory only; the write is queued once per burst.
    if (!m_db)
        return;
    m_pending.insert(key, value);
    if (m_writeScheduled || !m_context)
        return;
    m_writeScheduled = true;
    runAfter(
        kWriteDelayMs, [this] { flush(); }, m_context->get());
}

void SystemConfig::flush() {
    QMutexLocker writing(&m_writeMutex);
    QMap<QString, QString> pending;
    {
        QMutexLocker lock(&m_mutex);
        pending.swap(m_pending);
        m_writeScheduled = false;
    }
    if (pending.isEmpty() || !m_db)
        return;
    BWError error;
    {
        Database::Transaction t(m_db->db());
        error = t.error();
        for (auto it = pending.cbegin(); !error && it != pending.cend(); ++it)
            error = m_db->configInfo().setValue(it.key(), it.value());
        if (!error)
            error = t.commit();
    }
    warnIfFailed(lcStorage(), error, "writing the settings");
    QMutexLocker lock(&m_mutex);
    m_error = error;
    ++m_writes;
}

int SystemConfig::writeCount() const {
    QMutexLocker lock(&m_mutex);
    return m_writes;
}

int SystemConfig::getCloudFileSort() const {
    QMutexLocker lock(&m_mutex);
    return m_sort;
}

void SystemConfig::setCloudFileSort(int mode) {
    QMutexLocker lock(&m_mutex);
    // Every listing passes its sort through here: only a change is worth a database write.
    if (m_sort == mode)
        return;
    m_sort = mode;
    change(kCloudFileSort, QString::number(mode));
}

int SystemConfig::getFilelistViewMode() const {
    QMutexLocker lock(&m_mutex);
    return m_viewMode;
}

void SystemConfig::setFilelistViewMode(int mode) {
    QMutexLocker lock(&m_mutex);
    m_viewMode = mode;
    change(kFilelistViewMode, QString::number(mode));
}

bool SystemConfig::getShouldSelectDownloadPath() const {
    QMutexLocker lock(&m_mutex);
    return m_shouldSelect;
}

void SystemConfig::setShouldSelectDownloadPath(bool ask) {
    QMutexLocker lock(&m_mutex);
    m_shouldSelect = ask;
    change(kShouldSelectDownloadPath, ask ? QStringLiteral("1") : QStringLiteral("0"));
}

QString SystemConfig::getDownloadPath() const {
    QMutexLocker lock(&m_mutex);
    return m_downloadPath;
}

void SystemConfig::setDownloadPath(const QString& path) {
    QMutexLocker lock(&m_mutex);
    m_downloadPath = path;
    change(kDownloadPath, path);
}

BWError SystemConfig::lastError() const {
    QMutexLocker lock(&m_mutex);
    return m_error;
}

bool SystemConfig::wasRebuilt() const {
    QMutexLocker lock(&m_mutex);
    return m_db && m_db->wasRebuilt();
}

} // namespace nubo
