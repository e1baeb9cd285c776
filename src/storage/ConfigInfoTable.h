#pragma once

#include "storage/Database.h"

#include <QMap>

namespace nubo {

// The "config_info" key/value table of a database.
class ConfigInfoTable {
public:
    explicit ConfigInfoTable(Database& db) : m_db(db) {}

    BWError create();
    Result<QMap<QString, QString>> loadAll();
    BWError setValue(const QString& key, const QString& value);
    BWError remove(const QString& key);

private:
    Database& m_db;
};

} // namespace nubo
