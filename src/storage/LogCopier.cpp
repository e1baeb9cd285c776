#include "storage/LogCopier.h"

#include "foundation/Log.h"

namespace nubo {

LogCopier::LogCopier(const QString& path) {
    Database::Options options;
    options.checkIntegrity = false; // the writer's connection stands for the file
    options.cacheSizeKiB = 256;     // copying goes page by page through the log, not the cache
    auto db = Database::open(path, options);
    if (!db.ok()) {
        qCWarning(lcStorage) << "no connection to copy the log with:" << db.error.localizedDescription();
        return;
    }
    m_db = std::move(db.value);
    m_thread = std::thread([this] { run(); });
}

LogCopier::~LogCopier() {
    stop();
}

void LogCopier::request() {
    {
        std::lock_guard lock(m_mutex);
        m_requested = true;
    }
    m_wake.notify_one();
}

void LogCopier::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void LogCopier::run() {
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_requested || m_stopping; });
            if (m_stopping)
                return;
            m_requested = false;
        }
        warnIfFailed(lcStorage(), m_db->exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")),
                     "copying the log into the file");
    }
}

} // namespace nubo
