#include "storage/SystemDatabase.h"
#include "storage/DataPaths.h"

#include <QDir>
#include <QFile>

namespace nubo {

SystemDatabase::SystemDatabase(std::unique_ptr<Database> db, bool rebuilt, BWError reason)
    : m_db(std::move(db)), m_config(*m_db), m_rebuilt(rebuilt), m_rebuildReason(std::move(reason)) {}

Result<std::unique_ptr<SystemDatabase>> SystemDatabase::open(const QString& folder) {
    using R = Result<std::unique_ptr<SystemDatabase>>;
    bool rebuilt = false;
    BWError reason;
    auto r = openOrRebuild(QDir(folder).filePath(fileName()), Database::Options(), &rebuilt, &reason, {},
                           QStringLiteral("设置"));
    if (!r.ok())
        return R::failure(r.error);
    std::unique_ptr<SystemDatabase> sys(new SystemDatabase(std::move(r.value), rebuilt, reason));
    if (BWError err = sys->configInfo().create())
        return R::failure(err);
    return R{std::move(sys), {}};
}

} // namespace nubo
