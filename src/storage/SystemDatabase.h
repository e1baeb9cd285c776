#pragma once

#include "storage/ConfigInfoTable.h"
#include "storage/Database.h"
#include "storage/DatabaseRescue.h"

namespace nubo {

// The system database "system.db" in the data folder. A file that is not a sound database is
// moved aside (".corrupt") and made afresh with what could still be read from it (the settings);
// `wasRebuilt()` reports it.
class SystemDatabase {
public:
    static QString fileName() { return QStringLiteral("system.db"); }
    static Result<std::unique_ptr<SystemDatabase>> open(const QString& folder);

    Database& db() { return *m_db; }
    ConfigInfoTable& configInfo() { return m_config; }
    bool wasRebuilt() const { return m_rebuilt; }
    const BWError& rebuildReason() const { return m_rebuildReason; }

private:
    SystemDatabase(std::unique_ptr<Database> db, bool rebuilt, BWError reason);
    std::unique_ptr<Database> m_db;
    ConfigInfoTable m_config;
    bool m_rebuilt;
    BWError m_rebuildReason;
};

} // namespace nubo
