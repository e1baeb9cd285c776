#pragma once

#include "foundation/Result.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <mutex>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace nubo {

// Errors of the storage layer (domain "KZApplication").
enum StorageErrorCode {
    kStorageErrorOpen = -300,     // the file cannot be opened or created
    kStorageErrorCorrupt = -301,  // the file is not a sound database
    kStorageErrorSql = -302,      // a statement failed
    kStorageErrorArgument = -303, // a value given to the storage layer is not acceptable
};

class Database;

// One prepared statement taken from a connection's cache. It holds the connection's lock for its
// lifetime, so a query is never interleaved with another thread's, and it resets the statement
// when it goes. Bind indexes start at 1, column indexes at 0.
class Query {
public:
    Query(Query&&) noexcept;
    Query& operator=(Query&&) = delete;
    ~Query();

    Query& bind(int index, qint64 v);
    Query& bind(int index, int v) { return bind(index, qint64(v)); }
    Query& bind(int index, double v);
    Query& bind(int index, const QString& v);
    Query& bind(int index, const QByteArray& v); // a blob
    // UTF-8 text that is not copied: the bytes must stay as they are until the statement has
    // run (the next step or reset) or the index is bound again.
    Query& bindUtf8(int index, QByteArrayView utf8);
    Query& bindNull(int index);

    // Steps to the next row: true when there is one; false when done or failed (see error()).
    bool next();
    // Runs the statement to its end; the error, or a null error on success.
    BWError exec();
    // Like exec(), outside any transaction, but its commit does not wait for the disk however
    // the connection is set: for rows whose loss in a power cut costs only repeated work. The
    // next commit that does wait makes these rows durable too, as the log keeps their order.
    BWError execUnsynced();
    // Makes the statement ready to be bound and run again (bindings are kept until rebound).
    void reset();

    qint64 int64(int col) const;
    double real(int col) const;
    QString text(int col) const;
    // The column's UTF-8 bytes without a copy, valid until the next step or reset.
    QByteArrayView textView(int col) const;
    QByteArray blob(int col) const;
    bool isNull(int col) const;

    const BWError& error() const { return m_error; }

private:
    friend class Database;
    Query(Database* db, sqlite3_stmt* stmt, BWError error);
    std::unique_lock<std::recursive_mutex> m_lock;
    Database* m_db;
    sqlite3_stmt* m_stmt;
    BWError m_error;
};

// An RAII SQLite connection in WAL mode with a busy timeout and a cache of prepared statements.
// Every call is safe from any thread: the connection is guarded by one recursive lock, held by a
// Query or a Transaction for its lifetime.
class Database {
public:
    enum class Durability { Normal, Full };

    struct Options {
        Durability durability = Durability::Normal;
        int busyTimeoutMs = 5000;
        // Page cache; large enough that bulk fills of the node table rarely spill to the log.
        int cacheSizeKiB = 32 * 1024;
        // Checks the file's structure on open ("PRAGMA quick_check": every page and record, not
        // whether the indexes agree with their tables, which would read a large file many times
        // over) and fails with kStorageErrorCorrupt when unsound.
        bool checkIntegrity = true;
    };

    // Opens or creates the database file (and its folder, 0700); the file and its -wal/-shm
    // companions are made 0600.
    static Result<std::unique_ptr<Database>> open(const QString& path, const Options& options);
    static Result<std::unique_ptr<Database>> open(const QString& path) { return open(path, Options()); }
    // A scratch database in memory, without a log, that other connections of this process can
    // attach while it is open (`attachName()`); it is gone with its last connection.
    static Result<std::unique_ptr<Database>> openInMemory();
    // What ATTACH takes to reach this database (a file's path, or an in-memory one's URI).
    const QString& attachName() const { return m_attachName; }

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& path() const { return m_path; }

    // Runs one or more statements without results.
    BWError exec(const QString& sql);
    // A cached prepared statement; a failed prepare gives a Query whose error() is set.
    Query query(const QString& sql);

    // Copies the rows of `table` that can be read from `from` (a damaged database, say) into the
    // same table here, made with `createSql` when missing; rows already here are kept. The rows
    // copied; `complete` is false when reading stopped at a failure before the end.
    Result<int> copyReadableRows(Database& from, const QString& table, const QString& createSql,
                                 bool* complete);

    // "ok" when sound, else the first problem reported: the full check, or the structural one;
    // of one table and its indexes alone when `table` is given.
    QString integrityCheck(bool quick = false, const QString& table = {});
    bool tableExists(const QString& table);
    qint64 lastInsertId();
    int changes();

    // A write transaction (BEGIN IMMEDIATE) holding the connection's lock until commit or
    // destruction; rolled back unless committed. Nested use inside one thread is not supported.
    class Transaction {
    public:
        // Unsynced: the commit does not wait for the disk (as Query::execUnsynced), for rows whose
        // loss in a power cut only costs work done again; a later synced commit makes it durable.
        enum class Sync { Synced, Unsynced };
        explicit Transaction(Database& db, Sync sync = Sync::Synced);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        const BWError& error() const { return m_error; } // set when BEGIN failed
        BWError commit();

    private:
        Database& m_db;
        std::unique_lock<std::recursive_mutex> m_lock;
        bool m_open = false;
        bool m_lowered = false; // the connection's level was lowered for this transaction
        BWError m_error;
    };

    // Makes every transaction committed so far durable without taking the connection's lock: a
    // writer may commit unsynced under the lock and wait for the disk outside it, while other
    // threads go on using the connection.
    BWError syncCommitted();

    BWError lastError(const QString& what) const;
    // Makes the database file and its -wal/-shm companions private (0600).
    void protectFiles() const;

private:
    friend class Query;
    Database(sqlite3* handle, QString path);

    sqlite3* m_handle;
    QString m_path;
    QString m_attachName;
    std::recursive_mutex m_mutex;
    bool m_fullSync = false;
    bool m_wal = false; // the journal is a write-ahead log
    std::unordered_map<std::string, sqlite3_stmt*> m_cache;
};

} // namespace nubo
