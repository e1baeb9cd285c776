#include "storage/UserDatabase.h"
#include "storage/SystemDatabase.h"

#include <QDir>
#include <QRegularExpression>

namespace nubo {

QString UserDatabase::fileName(const QString& userId, const QString& enterpriseId) {
    // The ids come from the service: only plain ids may become part of a file name.
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    if (!safe.match(userId).hasMatch() || !safe.match(enterpriseId).hasMatch())
        return {};
    return QStringLiteral("%1_%2.db").arg(userId, enterpriseId);
}

namespace {
// What the user loses with a file of which nothing can be read.
const QString kHolds = QStringLiteral("传输任务和设置");
} // namespace

QStringList UserDatabase::refetchedTables() {
    // The node copy comes back whole from the service with a full fetch; a damaged one is not
    // worth reading back.
    return {QStringLiteral("cloud_file"), QStringLiteral("cloud_file_cursor")};
}

Result<std::unique_ptr<Database>> UserDatabase::openConnection(const QString& path) {
    bool rebuilt = false;
    BWError reason;
    return openOrRebuild(path, Database::Options(), &rebuilt, &reason, refetchedTables(), kHolds);
}

UserDatabase::UserDatabase(std::unique_ptr<Database> db, bool rebuilt, BWError reason)
    : m_db(std::move(db)), m_files(*m_db), m_config(*m_db), m_rebuilt(rebuilt),
      m_rebuildReason(std::move(reason)) {}

UserDatabase::~UserDatabase() {
    if (m_check.valid())
        m_check.wait();
}

Result<std::unique_ptr<UserDatabase>> UserDatabase::open(const QString& folder, const QString& userId,
                                                         const QString& enterpriseId, Check check) {
    using R = Result<std::unique_ptr<UserDatabase>>;
    const QString name = fileName(userId, enterpriseId);
    if (name.isEmpty()) {
        return R::failure(BWError::application(
            kStorageErrorArgument,
            QStringLiteral("无效的用户标识：%1_%2").arg(userId.left(80), enterpriseId.left(80))));
    }
    const QString path = QDir(folder).filePath(name);
    if (check == Check::Beside) {
        Database::Options options;
        options.checkIntegrity = false;
        auto r = Database::open(path, options);
        if (!r.ok())
            return R::failure(r.error);
        std::unique_ptr<UserDatabase> udb(new UserDatabase(std::move(r.value), false, {}));
        options.cacheSizeKiB = 2048;
        udb->m_check = std::async(std::launch::async, [path, options] {
            auto db = Database::open(path, options);
            return db.ok() ? db.value->integrityCheck(true) : db.error.localizedDescription();
        });
        return R{std::move(udb), {}};
    }
    bool rebuilt = false;
    BWError reason;
    auto r = openOrRebuild(path, Database::Options(), &rebuilt, &reason, refetchedTables(), kHolds);
    if (!r.ok())
        return R::failure(r.error);
    std::unique_ptr<UserDatabase> udb(new UserDatabase(std::move(r.value), rebuilt, reason));
    if (BWError err = udb->createTables())
        return R::failure(err);
    return R{std::move(udb), {}};
}

BWError UserDatabase::createTables() {
    if (BWError err = m_files.create())
        return err;
    return m_config.create();
}

BWError UserDatabase::awaitCheck() {
    if (!m_check.valid())
        return {};
    const QString verdict = m_check.get();
    if (verdict != QLatin1String("ok"))
        return BWError::application(kStorageErrorCorrupt, QStringLiteral("数据库已损坏：%1").arg(verdict));
    return createTables();
}

} // namespace nubo
