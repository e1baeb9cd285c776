#include "storage/ConfigInfoTable.h"

namespace nubo {

BWError ConfigInfoTable::create() {
    return m_db.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS config_info (key TEXT PRIMARY KEY NOT NULL, value TEXT)"));
}

Result<QMap<QString, QString>> ConfigInfoTable::loadAll() {
    Result<QMap<QString, QString>> r;
    Query q = m_db.query(QStringLiteral("SELECT key, value FROM config_info"));
    while (q.next())
        r.value.insert(q.text(0), q.text(1));
    r.error = q.error();
    return r;
}

BWError ConfigInfoTable::setValue(const QString& key, const QString& value) {
    Query q = m_db.query(QStringLiteral("INSERT OR REPLACE INTO config_info (key, value) VALUES (?, ?)"));
    return q.bind(1, key).bind(2, value).exec();
}

BWError ConfigInfoTable::remove(const QString& key) {
    Query q = m_db.query(QStringLiteral("DELETE FROM config_info WHERE key = ?"));
    return q.bind(1, key).exec();
}

} // namespace nubo
