// Builds a 1,000,000-node tree in the embedded service and fetches it fully into a per-user
// database, as the session does after sign-in. Baseline: a plain SQLite bulk insert of the same
// rows into a table of the same shape, in the same run.
#include "service/EmbeddedCloudService.h"
#include "storage/UserDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

using namespace nubo;

namespace {

constexpr int kTopFolders = 10;
constexpr int kSubFolders = 100;   // in each top folder
constexpr qint64 kTotal = 1000000; // nodes, root excluded
constexpr int kPage = 10000;

NodeList buildTree() {
    NodeList nodes;
    nodes.reserve(kTotal);
    qint64 nid = 1;
    QList<qint64> leaves;
    for (int t = 0; t < kTopFolders; ++t) {
        NodeRecord top;
        top.nid = nid++;
        top.pid = 0;
        top.name = QStringLiteral("folder %1").arg(t);
        top.isDir = true;
        top.mtime = 1700000000 + t;
        nodes.append(top);
        for (int s = 0; s < kSubFolders; ++s) {
            NodeRecord sub;
            sub.nid = nid++;
            sub.pid = top.nid;
            sub.name = QStringLiteral("子目录 %1").arg(s);
            sub.isDir = true;
            sub.mtime = 1700000000 + s;
            nodes.append(sub);
            leaves.append(sub.nid);
        }
    }
    for (qint64 i = 0; nid <= kTotal; ++i) {
        NodeRecord f;
        f.nid = nid++;
        f.pid = leaves.at(i % leaves.size());
        f.name = QStringLiteral("photo_%1.jpg").arg(i);
        f.size = quint64(1000 + i % 5000000);
        f.mtime = qint32(1700000000 + i);
        f.category = 1;
        nodes.append(f);
    }
    return nodes;
}

bool baselineInsert(const QString& path, const NodeList& rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    sqlite3_exec(
        db,
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
        "CREATE TABLE cloud_file (nid INTEGER PRIMARY KEY, pid INTEGER NOT NULL, name TEXT NOT NULL,"
        " path TEXT NOT NULL, is_dir INTEGER NOT NULL DEFAULT 0, size INTEGER NOT NULL DEFAULT 0,"
        " mtime INTEGER NOT NULL DEFAULT 0, ctime INTEGER NOT NULL DEFAULT 0,"
        " category INTEGER NOT NULL DEFAULT 0, file_hash TEXT, status INTEGER NOT NULL DEFAULT 0,"
        " is_link INTEGER NOT NULL DEFAULT 0, is_sync INTEGER NOT NULL DEFAULT 0,"
        " is_edit_lock INTEGER NOT NULL DEFAULT 0, version INTEGER NOT NULL DEFAULT 0);"
        "CREATE INDEX cloud_file_pid ON cloud_file(pid); CREATE INDEX cloud_file_path ON cloud_file(path);",
        nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO cloud_file VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const NodeRecord& n : rows) {
        const QByteArray name = n.name.toUtf8();
        const QByteArray p = n.path.toUtf8();
        const QByteArray hash = n.fileHash.toUtf8();
        sqlite3_bind_int64(st, 1, n.nid);
        sqlite3_bind_int64(st, 2, n.pid);
        sqlite3_bind_text(st, 3, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, p.constData(), int(p.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 5, n.isDir);
        sqlite3_bind_int64(st, 6, qint64(n.size));
        sqlite3_bind_int(st, 7, n.mtime);
        sqlite3_bind_int(st, 8, n.ctime);
        sqlite3_bind_int(st, 9, n.category);
        sqlite3_bind_text(st, 10, hash.constData(), int(hash.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 11, n.status);
        sqlite3_bind_int(st, 12, n.isLink);
        sqlite3_bind_int(st, 13, n.isSync);
        sqlite3_bind_int(st, 14, n.isEditLock);
        sqlite3_bind_int64(st, 15, n.version);
        if (sqlite3_step(st) != SQLITE_DONE)
            return false;
        sqlite3_reset(st);
    }
    const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QElapsedTimer timer;

    timer.start();
    auto opened = EmbeddedCloudService::open(dir.path() + QStringLiteral("/service"));
    if (!opened.ok()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(opened.error.localizedDescription()));
        return 1;
    }
    EmbeddedCloudService& service = *opened.value;
    {
        const NodeList tree = buildTree();
        if (BWError err = service.importNodes(tree)) {
            std::fprintf(stderr, "import: %s\n", qPrintable(err.localizedDescription()));
            return 1;
        }
    }
    std::printf("built %lld nodes in the service: %lld ms\n", kTotal, timer.elapsed());

    // Nubo: the full fetch, page by page, into the per-user node table.
    auto udb =
        UserDatabase::open(dir.path() + QStringLiteral("/user"), QStringLiteral("1"), QStringLiteral("0"));
    if (!udb.ok())
        return 1;
    CloudFileTable& table = udb.value->cloudFiles();
    NodeList fetched;
    fetched.reserve(kTotal);
    qint64 fetchMs = 0;
    timer.restart();
    qint64 after = 0;
    qint64 cursor = -1;
    if (table.beginFullLoad())
        return 1;
    for (;;) {
        QElapsedTimer f;
        f.start();
        auto page = service.fetchAllNodes(after, kPage);
        fetchMs += f.elapsed();
        if (!page.ok())
            return 1;
        if (cursor < 0)
            cursor = page.value.version;
        if (BWError err = table.upsert(page.value.nodes)) {
            std::fprintf(stderr, "upsert: %s\n", qPrintable(err.localizedDescription()));
            return 1;
        }
        fetched += page.value.nodes;
        after = page.value.next;
        if (!page.value.hasMore)
            break;
    }
    if (table.finishFullLoad(cursor))
        return 1;
    const qint64 nuboMs = timer.elapsed();
    if (table.count().value != kTotal || fetched.size() != kTotal) {
        std::fprintf(stderr, "fetched %lld rows, expected %lld\n", qlonglong(fetched.size()), kTotal);
        return 1;
    }
    std::printf("full fetch into the per-user database: %lld ms (service reads %lld ms, %d-node pages)\n",
                nuboMs, fetchMs, kPage);

    timer.restart();
    if (!baselineInsert(dir.path() + QStringLiteral("/baseline.db"), fetched))
        return 1;
    const qint64 baseMs = timer.elapsed();
    std::printf("baseline plain SQLite bulk insert of the same rows: %lld ms\n", baseMs);
    std::printf("RATIO name=full_fetch nubo=%lld baseline=%lld ratio=%.2f\n", nuboMs, baseMs,
                double(nuboMs) / double(qMax<qint64>(1, baseMs)));
    return 0;
}
