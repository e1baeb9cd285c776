#include "storage/Database.h"
#include "foundation/DisplayText.h"
#include "foundation/Log.h"
#include "storage/DataPaths.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace nubo {

namespace {

BWError storageError(int code, const QString& msg) {
    return BWError::application(code, msg);
}

// What went wrong, by SQLite's result code, in the user's words; SQLite's own (English) text
// follows it in the message, for support.
QString causeOf(int resultCode) {
    switch (resultCode & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("数据库已损坏");
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间不足");
    case SQLITE_IOERR:
        return QStringLiteral("读写数据库文件出错");
    case SQLITE_READONLY:
        return QStringLiteral("数据库文件只读，无法写入");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("没有访问数据库文件的权限");
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开数据库文件");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库正被占用");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足");
    case SQLITE_CONSTRAINT:
        return QStringLiteral("数据库记录冲突");
    case SQLITE_TOOBIG:
        return QStringLiteral("数据过大");
    default:
        return QStringLiteral("数据库操作失败");
    }
}

// Opens (or creates) the database `name`, a path or a URI; on failure nothing stays open.
BWError openHandle(const QByteArray& name, sqlite3** handle) {
    const int rc = sqlite3_open_v2(
        name.constData(), handle,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr);
    if (rc == SQLITE_OK)
        return {};
    const QString msg = QStringLiteral("无法打开数据库：%1（%2）")
                            .arg(causeOf(rc), *handle ? QString::fromUtf8(sqlite3_errmsg(*handle))
                                                      : QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_close_v2(*handle);
    *handle = nullptr;
    return storageError(kStorageErrorOpen, msg);
}

// SQLite gives its -wal and -shm files the mode of the database file, so creating that file
// private first keeps every companion private too.
BWError createPrivateFile(const QString& path) {
    if (!QFile::exists(path)) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return storageError(kStorageErrorOpen, QStringLiteral("无法创建数据库：%1").arg(path));
        ::close(fd);
    }
    paths::makePrivateFile(path);
    return {};
}

// Reading a file that is not a database fails with SQLITE_NOTADB: reported as corrupt, as is
// SQLITE_CORRUPT; other errors stay as they are.
BWError corruptWhenNotADatabase(const BWError& err, sqlite3* handle) {
    if (err.code() == kStorageErrorSql) {
        const int ec = sqlite3_errcode(handle) & 0xff;
        if (ec == SQLITE_NOTADB || ec == SQLITE_CORRUPT)
            return storageError(kStorageErrorCorrupt, err.localizedDescription());
    }
    return err;
}

} // namespace

// ---- Query

Query::Query(Database* db, sqlite3_stmt* stmt, BWError error)
    : m_lock(db->m_mutex), m_db(db), m_stmt(stmt), m_error(std::move(error)) {}

Query::Query(Query&& o) noexcept
    : m_lock(std::move(o.m_lock)), m_db(o.m_db), m_stmt(o.m_stmt), m_error(std::move(o.m_error)) {
    o.m_stmt = nullptr;
}

Query::~Query() {
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

Query& Query::bind(int index, qint64 v) {
    if (m_stmt)
        sqlite3_bind_int64(m_stmt, index, v);
    return *this;
}

Query& Query::bind(int index, double v) {
    if (m_stmt)
        sqlite3_bind_double(m_stmt, index, v);
    return *this;
}

Query& Query::bind(int index, const QString& v) {
    if (m_stmt) {
        const QByteArray utf8 = v.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    return *this;
}

Query& Query::bindUtf8(int index, QByteArrayView utf8) {
    // A null pointer would bind NULL rather than empty text.
    if (m_stmt)
        sqlite3_bind_text(m_stmt, index, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_STATIC);
    return *this;
}

Query& Query::bind(int index, const QByteArray& v) {
    if (m_stmt)
        sqlite3_bind_blob(m_stmt, index, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    return *this;
}

Query& Query::bindNull(int index) {
    if (m_stmt)
        sqlite3_bind_null(m_stmt, index);
    return *this;
}

bool Query::next() {
    if (!m_stmt || m_error)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_error = m_db->lastError(QString::fromUtf8(sqlite3_sql(m_stmt)));
    return false;
}

BWError Query::exec() {
    while (next()) {
    }
    return m_error;
}

BWError Query::execUnsynced() {
    if (!m_db->m_fullSync)
        return exec();
    if (BWError err = m_db->exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return err;
    BWError err = exec();
    if (BWError restore = m_db->exec(QStringLiteral("PRAGMA synchronous=FULL")); restore && !err)
        err = restore;
    return err;
}

void Query::reset() {
    if (m_stmt)
        sqlite3_reset(m_stmt);
    m_error = {};
}

qint64 Query::int64(int col) const {
    return m_stmt ? sqlite3_column_int64(m_stmt, col) : 0;
}
double Query::real(int col) const {
    return m_stmt ? sqlite3_column_double(m_stmt, col) : 0.0;
}

QString Query::text(int col) const {
    if (!m_stmt)
        return {};
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, col)) : QString();
}

QByteArrayView Query::textView(int col) const {
    if (!m_stmt)
        return {};
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
    return p ? QByteArrayView(p, sqlite3_column_bytes(m_stmt, col)) : QByteArrayView();
}

QByteArray Query::blob(int col) const {
    if (!m_stmt)
        return {};
    const auto* p = static_cast<const char*>(sqlite3_column_blob(m_stmt, col));
    return p ? QByteArray(p, sqlite3_column_bytes(m_stmt, col)) : QByteArray();
}

bool Query::isNull(int col) const {
    return !m_stmt || sqlite3_column_type(m_stmt, col) == SQLITE_NULL;
}

// ---- Database

Database::Database(sqlite3* handle, QString path)
    : m_handle(handle), m_path(std::move(path)), m_attachName(m_path) {}

Database::~Database() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (auto& [sql, stmt] : m_cache)
        sqlite3_finalize(stmt);
    sqlite3_close_v2(m_handle);
}

Result<std::unique_ptr<Database>> Database::open(const QString& path, const Options& options) {
    using R = Result<std::unique_ptr<Database>>;
    const QString folder = QFileInfo(path).absolutePath();
    if (!paths::makePrivateFolder(folder))
        return R::failure(
            storageError(kStorageErrorOpen, QStringLiteral("无法创建数据目录：%1").arg(folder)));

    // Nubo makes a database only where no file is: SQLite would take an empty one for a new
    // database, and whatever the file held (settings, transfers, the user's tree) would be gone
    // without a word. Its log may still hold the content, so then it is not empty.
    if (QFileInfo file(path);
        file.exists() && file.size() == 0 && QFileInfo(path + QStringLiteral("-wal")).size() == 0)
        return R::failure(storageError(kStorageErrorCorrupt, QStringLiteral("数据库已损坏：文件为空")));
    if (BWError e = createPrivateFile(path))
        return R::failure(e);
    // Memory statistics take a global lock on every allocation, which costs a bulk load about a
    // tenth of its time; nothing here reads them. Set before SQLite's first use, or not at all.
    static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    Q_UNUSED(configured);
    sqlite3* handle = nullptr;
    // URIs so that ATTACH reaches in-memory databases; a path, always absolute, is no URI.
    if (BWError e = openHandle(QFile::encodeName(path), &handle))
        return R::failure(e);
    std::unique_ptr<Database> db(new Database(handle, path));
    sqlite3_busy_timeout(handle, options.busyTimeoutMs);
    sqlite3_extended_result_codes(handle, 1);

    BWError err;
    {
        Query mode = db->query(QStringLiteral("PRAGMA journal_mode=WAL"));
        db->m_wal = mode.next() && mode.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
        err = mode.error();
    }
    db->m_fullSync = options.durability == Durability::Full;
    if (!err) {
        err = db->exec(options.durability == Durability::Full ? QStringLiteral("PRAGMA synchronous=FULL")
                                                              : QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    if (!err)
        err = db->exec(
            QStringLiteral("PRAGMA foreign_keys=ON; PRAGMA cache_size=-%1").arg(options.cacheSizeKiB));
    if (!err && options.checkIntegrity) {
        const QString check = db->integrityCheck(true);
        if (check != QLatin1String("ok"))
            err = storageError(kStorageErrorCorrupt, QStringLiteral("数据库已损坏：%1").arg(check));
    }
    if (err)
        return R::failure(corruptWhenNotADatabase(err, handle));
    db->protectFiles();
    return R{std::move(db), {}};
}

Result<std::unique_ptr<Database>> Database::openInMemory() {
    using R = Result<std::unique_ptr<Database>>;
    static std::atomic<quint64> next{0};
    // A name of its own: in-memory databases of one name are shared across the process.
    const QString uri = QStringLiteral("file:/nubo-scratch-%1?vfs=memdb").arg(next.fetch_add(1));
    sqlite3* handle = nullptr;
    if (BWError e = openHandle(uri.toUtf8(), &handle))
        return R::failure(e);
    std::unique_ptr<Database> db(new Database(handle, QString()));
    db->m_attachName = uri;
    if (BWError err = db->exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF")))
        return R::failure(err);
    return R{std::move(db), {}};
}

void Database::protectFiles() const {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const QString f = m_path + QLatin1String(suffix);
        if (QFile::exists(f))
            paths::makePrivateFile(f);
    }
}

BWError Database::lastError(const QString& what) const {
    const int ec = sqlite3_errcode(m_handle) & 0xff;
    const int code = (ec == SQLITE_CORRUPT || ec == SQLITE_NOTADB) ? kStorageErrorCorrupt : kStorageErrorSql;
    return storageError(code,
                        QStringLiteral("%1：%2 (%3)")
                            .arg(causeOf(ec), QString::fromUtf8(sqlite3_errmsg(m_handle)), what.left(200)));
}

BWError Database::exec(const QString& sql) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    char* msg = nullptr;
    const int rc = sqlite3_exec(m_handle, sql.toUtf8().constData(), nullptr, nullptr, &msg);
    sqlite3_free(msg);
    if (rc != SQLITE_OK)
        return lastError(sql);
    return {};
}

Query Database::query(const QString& sql) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const std::string key = sql.toStdString();
    auto it = m_cache.find(key);
    if (it != m_cache.end())
        return Query(this, it->second, {});
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_handle, key.c_str(), int(key.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                           nullptr) != SQLITE_OK) {
        BWError err = lastError(sql);
        sqlite3_finalize(stmt);
        return Query(this, nullptr, err);
    }
    m_cache.emplace(key, stmt);
    return Query(this, stmt, {});
}

Result<int> Database::copyReadableRows(Database& from, const QString& table, const QString& createSql,
                                       bool* complete) {
    using R = Result<int>;
    *complete = false;
    if (!tableExists(table)) {
        if (BWError e = exec(createSql))
            return R::failure(e);
    }
    const QString quoted = QLatin1Char('"') +
                           QString(table).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                           QLatin1Char('"');
    std::lock_guard<std::recursive_mutex> fromLock(from.m_mutex);
    sqlite3_stmt* read = nullptr;
    const QByteArray select = QStringLiteral("SELECT * FROM %1").arg(quoted).toUtf8();
    if (sqlite3_prepare_v2(from.m_handle, select.constData(), -1, &read, nullptr) != SQLITE_OK) {
        sqlite3_finalize(read);
        return R::failure(from.lastError(QString::fromUtf8(select)));
    }
    const int columns = sqlite3_column_count(read);
    QStringList marks;
    for (int i = 0; i < columns; ++i)
        marks << QStringLiteral("?");
    Transaction t(*this);
    if (t.error()) {
        sqlite3_finalize(read);
        return R::failure(t.error());
    }
    sqlite3_stmt* write = nullptr;
    const QByteArray insert = QStringLiteral("INSERT OR IGNORE INTO %1 VALUES (%2)")
                                  .arg(quoted, marks.join(QLatin1Char(',')))
                                  .toUtf8();
    if (sqlite3_prepare_v2(m_handle, insert.constData(), -1, &write, nullptr) != SQLITE_OK) {
        BWError e = lastError(QString::fromUtf8(insert));
        sqlite3_finalize(write);
        sqlite3_finalize(read);
        return R::failure(e);
    }
    int copied = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i)
            sqlite3_bind_value(write, i + 1, sqlite3_column_value(read, i));
        if (sqlite3_step(write) == SQLITE_DONE)
            copied += sqlite3_changes(m_handle) > 0 ? 1 : 0;
        sqlite3_reset(write);
        sqlite3_clear_bindings(write);
    }
    *complete = rc == SQLITE_DONE;
    sqlite3_finalize(write);
    sqlite3_finalize(read);
    if (BWError e = t.commit())
        return R::failure(e);
    return {copied, {}};
}

QString Database::integrityCheck(bool quick, const QString& table) {
    QString sql = quick ? QStringLiteral("PRAGMA quick_check") : QStringLiteral("PRAGMA integrity_check");
    if (!table.isEmpty())
        sql += QStringLiteral("(\"%1\")").arg(QString(table).replace(u'"', QStringLiteral("\"\"")));
    Query q = query(sql);
    QString result;
    while (q.next()) {
        if (result.isEmpty())
            result = q.text(0);
    }
    if (q.error())
        return q.error().localizedDescription();
    return result.isEmpty() ? QStringLiteral("no answer") : result;
}

bool Database::tableExists(const QString& table) {
    Query q = query(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?"));
    q.bind(1, table);
    return q.next();
}

qint64 Database::lastInsertId() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return sqlite3_last_insert_rowid(m_handle);
}

int Database::changes() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return sqlite3_changes(m_handle);
}

BWError Database::syncCommitted() {
    // In WAL mode every commit is in the log until a checkpoint copies it back, and a checkpoint
    // syncs the log before and the database file after: syncing the log suffices. A rollback
    // journal commits by removing the journal, so the folder is synced with the file.
    QList<QString> files;
    if (m_wal)
        files = {m_path + QStringLiteral("-wal")};
    else
        files = {m_path, QFileInfo(m_path).absolutePath()};
    for (const QString& file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && m_wal)
            continue; // the log was checkpointed and removed: its commits are in the synced file
        const bool ok = fd >= 0 && ::fdatasync(fd) == 0;
        const int cause = errno;
        if (fd >= 0)
            ::close(fd);
        if (!ok) {
            const QString why = text::systemErrorCause(cause);
            return storageError(kStorageErrorSql,
                                QStringLiteral("无法写入磁盘：%1（%2：%3）")
                                    .arg(why.isEmpty() ? QStringLiteral("磁盘读写出错") : why, file,
                                         QString::fromLocal8Bit(strerror(cause))));
        }
    }
    return {};
}

// ---- Transaction

Database::Transaction::Transaction(Database& db, Sync sync) : m_db(db), m_lock(db.m_mutex) {
    // The level can only change outside a transaction: lowered before it, restored after it.
    m_lowered = sync == Sync::Unsynced && m_db.m_fullSync;
    if (m_lowered)
        m_error = m_db.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    if (!m_error)
        m_error = m_db.exec(QStringLiteral("BEGIN IMMEDIATE"));
    m_open = m_error.isNull();
}

Database::Transaction::~Transaction() {
    if (m_open)
        warnIfFailed(lcStorage(), m_db.exec(QStringLiteral("ROLLBACK")), "rolling back a transaction");
    if (m_lowered)
        warnIfFailed(lcStorage(), m_db.exec(QStringLiteral("PRAGMA synchronous=FULL")),
                     "restoring full synchronous writes");
}

BWError Database::Transaction::commit() {
    if (!m_open)
        return m_error ? m_error : storageError(kStorageErrorSql, QStringLiteral("事务未开始"));
    BWError err = m_db.exec(QStringLiteral("COMMIT"));
    if (err)
        return err; // still open: the destructor rolls back
    m_open = false;
    return {};
}

} // namespace nubo
