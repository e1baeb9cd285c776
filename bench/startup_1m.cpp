// A warm start over an account of 1,000,000 nodes already on disk: from process start to the
// root folder's first painted frame in the file page, offscreen, with the per-user database read
// back and the changes made since the last run applied. Baseline in the same run: every row of
// that per-user database read with a plain SQLite scan. Also prints the resident memory after
// the start and the node tree's bytes per node.
//
// The program runs itself as the measured child: `startup_1m --child <folder>`.
#include "cloud_bench_tree.h"

#include "cloud/CloudLaunch.h"
#include "kit/Window.h"
#include "ui/files/KZFilesViewController.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <sqlite3.h>

namespace {

constexpr int kChangesPerRun = 200;

qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// One start, as the program starts: sign-in, then the file page at the root, painted once.
int runChild(int argc, char** argv, const QString& folder) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "nubo.*=false");
    QApplication app(argc, argv);
    QElapsedTimer phase;
    phase.start();
    auto opened = nubo::EmbeddedCloudService::open(folder + QStringLiteral("/service"));
    std::fprintf(stderr, "service open %lld ms\n", phase.restart());
    if (!opened.ok())
        return 1;
    nubo::CloudService::setShared(opened.value);
    nubo::paths::setDataFolder(folder + QStringLiteral("/data"));
    bool signedIn = false;
    BWError error;
    nubo::startCloudSession([&](const BWError& e) {
        error = e;
        signedIn = true;
    });
    cloudbench::spinUntil([&] { return signedIn; });
    if (error)
        return 1;
    std::fprintf(stderr, "sign-in %lld ms\n", phase.restart());
    auto* page = new KZFilesViewController(CloudFileInfo::rootFile());
    kit::Window window;
    window.setContentSize(QSizeF(1200, 800));
    window.contentView()->addSubview(page->view());
    page->view()->setFrame(window.contentView()->bounds());
    window.show();
    cloudbench::spinUntil(
        [&] { return page->fileInfo() && page->fileInfo()->nid() == 0 && page->files().size() == 3; });
    window.repaint();
    const nubo::KZNodeTree& tree = KZSession::sharedSession().nodeTree();
    std::printf("ready rss_kib=%lld tree_bytes=%lld nodes=%d\n", residentKiB(), tree.memoryBytes(),
                tree.count());
    std::fflush(stdout);
    std::_Exit(0); // the measured start is over; tearing down a million nodes is not part of it
}

// Milliseconds from starting the child to its "ready" line, and that line.
double timeChild(const QString& program, const QString& folder, QByteArray* ready) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel); // its phases, for the record
    p.start(program, {QStringLiteral("--child"), folder});
    while (p.waitForReadyRead(-1) || p.state() == QProcess::Running) {
        if (p.canReadLine()) {
            const QByteArray line = p.readLine();
            if (line.startsWith("ready")) {
                const double ms = t.nsecsElapsed() / 1e6;
                *ready = line.trimmed();
                p.waitForFinished(-1);
                return ms;
            }
        }
    }
    return -1;
}

double plainScan(const QString& dbPath, qint64* rows) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM cloud_file", -1, &st, nullptr);
    *rows = 0;
    qint64 sum = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            if (sqlite3_column_type(st, c) == SQLITE_TEXT)
                sum += sqlite3_column_bytes(st, c);
            else
                sum += sqlite3_column_int64(st, c);
        }
        ++*rows;
    }
    sqlite3_finalize(st);
    const double ms = t.nsecsElapsed() / 1e6;
    sqlite3_close(db);
    return sum == 42 ? -ms : ms; // keeps the reads from being optimised away
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    cloudbench::Tree tree;
    if (!dir.isValid() || !cloudbench::setUp(dir.path(), tree))
        return 1;
    // The child opens the service and the per-user database itself: this process lets go of both.
    bool signedOut = false;
    KZSessionProxy::shareSessionProxy()->logoutLocal([&] { signedOut = true; });
    cloudbench::spinUntil([&] { return signedOut; });
    nubo::CloudService::setShared(nullptr);

    std::vector<double> ours, theirs;
    QByteArray ready;
    qint64 renamed = 0;
    for (int run = 0; run < benchcommon::kRuns; ++run) {
        // Changes made elsewhere since the last start, for the start to apply.
        auto service = nubo::EmbeddedCloudService::open(dir.path() + QStringLiteral("/service")).value;
        if (!service)
            return 1;
        for (int i = 0; i < kChangesPerRun; ++i, ++renamed) {
            const qint64 nid = 1000 + renamed * 4999 % (cloudbench::kTotal - 2000);
            if (service->rename(nid, QStringLiteral("renamed %1.txt").arg(renamed)).error) {
                std::printf("rename failed\n");
                return 1;
            }
        }
        service.reset();
        const double ms = timeChild(QCoreApplication::applicationFilePath(), dir.path(), &ready);
        if (ms < 0) {
            std::printf("the start failed\n");
            return 1;
        }
        ours.push_back(ms);
        std::printf("start %d: %.0f ms (%s)\n", run + 1, ms, ready.constData());
    }
    qint64 rows = 0;
    for (int run = 0; run < benchcommon::kRuns; ++run)
        theirs.push_back(plainScan(tree.userDbPath, &rows));
    benchcommon::printSeries("start to the root's first frame", ours, "ms");
    benchcommon::printSeries("plain SQLite scan of the per-user database", theirs, "ms");
    std::printf("rows scanned %lld\n", rows);

    const QList<QByteArray> fields = ready.split(' ');
    qint64 treeBytes = 0, nodes = 1, rss = 0;
    for (const QByteArray& f : fields) {
        if (f.startsWith("tree_bytes="))
            treeBytes = f.mid(11).toLongLong();
        else if (f.startsWith("nodes="))
            nodes = std::max<qint64>(1, f.mid(6).toLongLong());
        else if (f.startsWith("rss_kib="))
            rss = f.mid(8).toLongLong();
    }
    const double perNode = double(treeBytes) / double(nodes);
    std::printf("resident after start: %.0f MiB; node tree: %.1f bytes per node (goal <=100 %s)\n",
                rss / 1024.0, perNode, perNode <= 100 ? "met" : "MISSED");
    const double n = benchcommon::median(ours), b = benchcommon::median(theirs);
    std::printf("goal<=1500 ms and ratio>=0.5 %s\n", n <= 1500 && b >= 0.5 * n ? "met" : "MISSED");
    benchcommon::ratioForTimes("startup_1m", n, b);
    return 0;
}
