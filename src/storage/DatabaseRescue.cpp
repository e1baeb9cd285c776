#include "storage/DatabaseRescue.h"

#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>

namespace nubo {

namespace {

QMutex g_mutex;
QList<DatabaseRescue> g_pending;

// How the user knows a table's rows.
QString wordFor(const QString& table) {
    if (table == QLatin1String("upload_job"))
        return QStringLiteral("上传任务");
    if (table == QLatin1String("download_job"))
        return QStringLiteral("下载任务");
    if (table.endsWith(QLatin1String("_block")))
        return QStringLiteral("传输进度");
    if (table == QLatin1String("config_info"))
        return QStringLiteral("设置");
    if (table.startsWith(QLatin1String("cloud_file")))
        return QStringLiteral("文件列表");
    return table;
}

QString words(const QStringList& tables) {
    QStringList out;
    for (const QString& t : tables)
        if (!out.contains(wordFor(t)))
            out << wordFor(t);
    return out.join(QStringLiteral("、"));
}

// Copies what can be read from the damaged file into the fresh one, table by table.
void rescueRows(const QString& aside, Database& fresh, const QStringList& refetched, DatabaseRescue& rescue) {
    Database::Options options;
    options.checkIntegrity = false;
    auto damaged = Database::open(aside, options);
    if (!damaged.ok()) {
        rescue.unreadable = true;
        return;
    }
    QList<QPair<QString, QString>> tables;
    {
        Query q = damaged.value->query(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = "
                                                      "'table' AND name NOT LIKE 'sqlite_%' ORDER BY name"));
        while (q.next())
            tables.append({q.text(0), q.text(1)});
        if (q.error() && tables.isEmpty()) {
            rescue.unreadable = true;
            return;
        }
    }
    for (const auto& [table, sql] : tables) {
        if (refetched.contains(table)) {
            rescue.refetched << table;
            continue;
        }
        bool complete = true;
        auto copied = fresh.copyReadableRows(*damaged.value, table, sql, &complete);
        if (copied.ok() && copied.value > 0)
            rescue.kept.insert(table, copied.value);
        if (!copied.ok() || !complete)
            rescue.partly << table;
    }
}

} // namespace

QString DatabaseRescue::message() const {
    QString text = QStringLiteral("本地数据库“%1”已损坏，已重新建立。损坏的文件已移至：%2。")
                       .arg(QFileInfo(file).fileName(), aside);
    if (unreadable) {
        text += holds.isEmpty() ? QStringLiteral("其中的记录已无法读取。")
                                : QStringLiteral("其中的记录已无法读取（%1已丢失）。").arg(holds);
    } else {
        QStringList keptParts;
        for (auto it = kept.cbegin(); it != kept.cend(); ++it)
            if (!it.key().endsWith(QLatin1String("_block")))
                keptParts << QStringLiteral("%1 %2 条").arg(wordFor(it.key())).arg(it.value());
        if (!keptParts.isEmpty())
            text += QStringLiteral("已找回：%1。").arg(keptParts.join(QStringLiteral("、")));
        if (!partly.isEmpty())
            text += QStringLiteral("部分记录未能找回：%1。").arg(words(partly));
        else if (keptParts.isEmpty())
            text += QStringLiteral("其中没有需要找回的记录。");
    }
    if (!refetched.isEmpty())
        text += QStringLiteral("%1将从云端重新获取。").arg(words(refetched));
    return text;
}

Result<std::unique_ptr<Database>> openOrRebuild(const QString& path, const Database::Options& options,
                                                bool* rebuilt, BWError* reason,
                                                const QStringList& refetchedTables, const QString& holds) {
    *rebuilt = false;
    auto r = Database::open(path, options);
    if (r.ok() || r.error.code() != kStorageErrorCorrupt)
        return r;
    // The unsound file is kept, with its log (which may hold its latest rows), for what can still
    // be read from it and for inspection; an older one set aside before is replaced.
    *rebuilt = true;
    *reason = r.error;
    DatabaseRescue rescue;
    rescue.file = path;
    rescue.reason = r.error;
    rescue.holds = holds;
    rescue.aside = path + QStringLiteral(".corrupt");
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(rescue.aside + QLatin1String(suffix));
    if (!QFile::rename(path, rescue.aside)) {
        QFile::remove(path);
        rescue.aside.clear();
    }
    if (rescue.aside.isEmpty() ||
        !QFile::rename(path + QStringLiteral("-wal"), rescue.aside + QStringLiteral("-wal")))
        QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    auto fresh = Database::open(path, options);
    if (!fresh.ok())
        return fresh;
    if (rescue.aside.isEmpty())
        rescue.unreadable = true;
    else
        rescueRows(rescue.aside, *fresh.value, refetchedTables, rescue);
    if (rescue.unreadable) // what the service fills again comes back all the same
        rescue.refetched = refetchedTables;
    {
        QMutexLocker lock(&g_mutex);
        g_pending.append(rescue);
    }
    // Under the storage category, so that the log file keeps it for a report too.
    qCWarning(lcStorage, "%s", qPrintable(rescue.message()));
    NotificationCenter::defaultCenter().post(kDatabaseRescuedNotification);
    return fresh;
}

QList<DatabaseRescue> takeDatabaseRescues() {
    QMutexLocker lock(&g_mutex);
    QList<DatabaseRescue> out;
    out.swap(g_pending);
    return out;
}

} // namespace nubo
