#pragma once

#include "storage/Database.h"

#include <QFile>
#include <gtest/gtest.h>

namespace nubo::test {

// Fills `table` (made when missing) with enough rows that it spans many pages, so that damage to
// one of its pages leaves the rest of the file readable.
inline void fillManyPages(Database& db, const QString& table) {
    ASSERT_FALSE(db.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (id INTEGER PRIMARY KEY, data TEXT)").arg(table)));
    Database::Transaction t(db);
    for (int i = 0; i < 2000; ++i)
        ASSERT_FALSE(db.query(QStringLiteral("INSERT INTO %1 (data) VALUES (?)").arg(table))
                         .bind(1, QString(200, QChar(u'a' + i % 26)))
                         .exec());
    ASSERT_FALSE(t.commit());
}

// Overwrites the root page of the table or index `name` in the database file at `path` with
// garbage (its log folded in first), as a failing disk would: the other pages stay readable.
inline void damageRootPage(const QString& path, const QString& name) {
    qint64 root = 0, pageSize = 0;
    {
        auto db = Database::open(path);
        ASSERT_TRUE(db.ok());
        ASSERT_FALSE(db.value->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
        Query q = db.value->query(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = ?"));
        q.bind(1, name);
        ASSERT_TRUE(q.next());
        root = q.int64(0);
        Query p = db.value->query(QStringLiteral("PRAGMA page_size"));
        ASSERT_TRUE(p.next());
        pageSize = p.int64(0);
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek((root - 1) * pageSize));
    ASSERT_EQ(f.write(QByteArray(int(pageSize), '\x5a')), pageSize);
}

} // namespace nubo::test
