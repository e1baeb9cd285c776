#pragma once

#include "storage/CloudFileTable.h"
#include "storage/ConfigInfoTable.h"
#include "storage/Database.h"

#include <future>

namespace nubo {

// The per-user database "<userId>_<enterpriseId>.db" in the data folder, with the node table.
// A corrupt file is moved aside (".corrupt") and made afresh with what could still be read from
// it (transfer jobs and their blocks, settings), but the node table: `wasRebuilt()` then tells
// the session that its node table is empty and needs a full fetch.
class UserDatabase {
public:
    // The file name for a user; empty when the ids are not safe as a file name.
    static QString fileName(const QString& userId, const QString& enterpriseId);
    // Check::Beside opens without the check and runs it on a connection of its own while the
    // caller reads: awaitCheck() gives the verdict. A damaged file is then closed by the caller
    // and opened again with Check::OnOpen, which sets it aside and rebuilds it.
    enum class Check { OnOpen, Beside };
    static Result<std::unique_ptr<UserDatabase>> open(const QString& folder, const QString& userId,
                                                      const QString& enterpriseId,
                                                      Check check = Check::OnOpen);
    ~UserDatabase();
    // Waits for a check run beside (none: no error) and makes the tables once it found the file
    // sound; kStorageErrorCorrupt when it is not.
    BWError awaitCheck();
    bool checkPending() const { return m_check.valid(); }
    // Another connection to a per-user database file (the transfer engines keep their own),
    // rescued the same way when it is found damaged.
    static Result<std::unique_ptr<Database>> openConnection(const QString& path);
    // The tables filled again from the service after a rebuild.
    static QStringList refetchedTables();

    Database& db() { return *m_db; }
    CloudFileTable& cloudFiles() { return m_files; }
    ConfigInfoTable& configInfo() { return m_config; }
    bool wasRebuilt() const { return m_rebuilt; }
    const BWError& rebuildReason() const { return m_rebuildReason; }

private:
    UserDatabase(std::unique_ptr<Database> db, bool rebuilt, BWError reason);
    BWError createTables();
    std::unique_ptr<Database> m_db;
    CloudFileTable m_files;
    ConfigInfoTable m_config;
    bool m_rebuilt;
    BWError m_rebuildReason;
    std::future<QString> m_check;
};

} // namespace nubo
