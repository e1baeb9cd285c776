#pragma once

#include "storage/Database.h"

#include <QList>
#include <QMap>
#include <QStringList>

namespace nubo {

// What a damaged database cost when it was set aside and made afresh.
struct DatabaseRescue {
    QString file;            // the database's path
    QString aside;           // where the damaged file was put
    BWError reason;          // why it was found unsound
    QMap<QString, int> kept; // table -> rows read back into the fresh file
    QStringList partly;      // tables of which some rows could not be read
    QStringList refetched;   // tables left to be filled again from the service
    QString holds;           // what the file keeps, as the user knows it ("设置")
    bool unreadable = false; // nothing at all could be read from the damaged file
    // The one text the user is told: what was lost and where the damaged file went.
    QString message() const;
};

// Opens a database. A corrupt one is moved aside ("<name>.corrupt", with its log), the rows that
// can still be read from its tables (but `refetchedTables`) are copied into a fresh file, and the
// rescue is kept to be told to the user once (`takeDatabaseRescues`). `rebuilt` tells whether
// that happened and `reason` why; `holds` names what a file of which nothing could be read lost.
Result<std::unique_ptr<Database>> openOrRebuild(const QString& path, const Database::Options& options,
                                                bool* rebuilt, BWError* reason,
                                                const QStringList& refetchedTables = {},
                                                const QString& holds = {});

// Rescues not yet told to the user, oldest first; each is handed out once. Any thread.
QList<DatabaseRescue> takeDatabaseRescues();
// Posted on the opening thread after a rescue was kept.
inline const QString kDatabaseRescuedNotification = QStringLiteral("KZNotificationDatabaseRescued");

} // namespace nubo
