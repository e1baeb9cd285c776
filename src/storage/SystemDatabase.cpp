#include "storage/SystemDatabase.h"
#include "storage/DataPaths.h"

#include <QDir>
#include <QFile>

namespace nubo {

Result<std::unique_ptr<Database>> openOrRebuild(const QString& path, const Database::Options& options,
                                                bool* rebuilt, BWError* reason) {
    *rebuilt = false;
    auto r = Database::open(path, options);
    if (r.ok() || r.error.code() != kStorageErrorCorrupt)
        return r;
    // Keep the unsound file for inspection (replacing an older one) and start afresh.
    *rebuilt = true;
    *reason = r.error;
    const QString aside = path + QStringLiteral(".corrupt");
    QFile::remove(aside);
    if (!QFile::rename(path, aside))
        QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    return Database::open(path, options);
}

SystemDatabase::SystemDatabase(std::unique_ptr<Database> db, bool rebuilt, BWError reason)
    : m_db(std::move(db)), m_config(*m_db), m_rebuilt(rebuilt), m_rebuildReason(std::move(reason)) {}

Result<std::unique_ptr<SystemDatabase>> SystemDatabase::open(const QString& folder) {
    using R = Result<std::unique_ptr<SystemDatabase>>;
    bool rebuilt = false;
    BWError reason;
    auto r = openOrRebuild(QDir(folder).filePath(fileName()), Database::Options(), &rebuilt, &reason);
    if (!r.ok())
        return R::failure(r.error);
    std::unique_ptr<SystemDatabase> sys(new SystemDatabase(std::move(r.value), rebuilt, reason));
    if (BWError err = sys->configInfo().create())
        return R::failure(err);
    return R{std::move(sys), {}};
}

} // namespace nubo
