// From the session proxy's folder-list call to the reply on the main thread, for a folder of
// 100,000 children and one of 1,000, sorted by name in natural order with folders first, over a
// 1,000,000-node tree. Baseline in the same run: the children read with a SELECT ... ORDER BY
// from the per-user database and sorted with QCollator::compare called in the comparator.
#include "cloud_bench_tree.h"

#include "cloud/NameCollation.h"

#include <QCollator>
#include <QLocale>
#include <sqlite3.h>

namespace {

class Waiter : public QObject, public KZRequestFileListDelegate {
public:
    int rows = -1;
    bool failed = false;
    CloudFileList kept; // the rows stay alive, as on a page, until the timing is done
    void kzSessionRequestFileList(KZAbstractSession*, qint64, const CloudFileInfoPtr&,
                                  const CloudFileList& fileList, KZBackForwardState,
                                  const QVariantMap&) override {
        rows = int(fileList.size());
        kept = fileList;
    }
    void kzSessionRequestFileListFail(KZAbstractSession*, qint64, const QVariantMap&,
                                      const BWError&) override {
        failed = true;
    }
};

double timeProxyList(qint64 nid, const QString& path, int* rows) {
    Waiter w;
    QElapsedTimer t;
    t.start();
    KZSessionProxy::shareSessionProxy()->getFileListByNid(nid, path, 0, &w, {});
    cloudbench::spinUntil([&] { return w.rows >= 0 || w.failed; });
    const double ms = t.nsecsElapsed() / 1e6;
    *rows = w.rows;
    return ms;
}

struct Row {
    qint64 nid;
    QString name;
    bool dir;
    qint32 mtime;
    qint64 size;
};

double timeBaseline(const QString& dbPath, qint64 pid, int* rows) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QCollator collator{QLocale(nubo::collation::localeName())};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT nid, name, is_dir, mtime, size FROM cloud_file WHERE pid = ? ORDER BY name",
                       -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, pid);
    std::vector<Row> out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        out.push_back({sqlite3_column_int64(st, 0),
                       QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))),
                       sqlite3_column_int(st, 2) != 0, sqlite3_column_int(st, 3),
                       sqlite3_column_int64(st, 4)});
    }
    sqlite3_finalize(st);
    std::sort(out.begin(), out.end(), [&](const Row& a, const Row& b) {
        if (a.dir != b.dir)
            return a.dir;
        return collator.compare(a.name, b.name) < 0;
    });
    const double ms = t.nsecsElapsed() / 1e6;
    sqlite3_close(db);
    *rows = int(out.size());
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    cloudbench::Tree tree;
    if (!dir.isValid() || !cloudbench::setUp(dir.path(), tree))
        return 1;

    struct Case {
        const char* name;
        qint64 nid;
        QString path;
        double goalMs;
    };
    const Case cases[] = {{"folder_1k", tree.smallNid, QStringLiteral("/small"), 12.0},
                          {"folder_100k", tree.bigNid, QStringLiteral("/big"), 30.0}};
    double nubo100k = 0, base100k = 0;
    bool ok = true;
    for (const Case& c : cases) {
        std::vector<double> ours, theirs;
        int rows = 0, baseRows = 0;
        for (int i = 0; i < 2 * benchcommon::kRuns; ++i)
            ours.push_back(timeProxyList(c.nid, c.path, &rows));
        for (int i = 0; i < benchcommon::kRuns; ++i)
            theirs.push_back(timeBaseline(tree.userDbPath, c.nid, &baseRows));
        const double n = cloudbench::median(ours), b = cloudbench::median(theirs);
        const bool met = n <= c.goalMs && rows == baseRows;
        ok = ok && met;
        std::printf(
            "%s: rows=%d nubo_median=%.2f ms (min %.2f) baseline_median=%.2f ms rows=%d goal<=%.0f ms %s\n",
            c.name, rows, n, *std::min_element(ours.begin(), ours.end()), b, baseRows, c.goalMs,
            met ? "met" : "MISSED");
        if (c.nid == tree.bigNid) {
            nubo100k = n;
            base100k = b;
        }
    }
    {
        // Where the time goes: the tree's listing alone, without the thread hops.
        std::vector<double> direct;
        const int rounds = qEnvironmentVariableIntValue("NUBO_LIST_ROUNDS") > 0
                               ? qEnvironmentVariableIntValue("NUBO_LIST_ROUNDS")
                               : benchcommon::kRuns;
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer t;
            t.start();
            auto rows = KZSession::sharedSession().nodeTree().list(tree.bigNid, false, 0);
            direct.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("folder_100k tree listing alone: median=%.2f ms\n", cloudbench::median(direct));
    }
    KZSessionProxy::shareSessionProxy()->logoutLocal();
    benchcommon::ratioForTimes("list_100k", nubo100k, base100k);
    return ok ? 0 : 2;
}
