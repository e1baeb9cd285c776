// A tree of 5,000 small files (made here, so every machine measures the same tree) through the
// cloud sync manager and the upload engine, in files per second, against "cp -r" of the same
// tree followed by "sync" in the same run: Nubo makes every committed file durable, so the copy
// is timed until it is on disk as well.
#include "transfer_bench.h"

#include "cloud/CloudFileInfo.h"
#include "sync/CloudFileSyncMgr.h"

#include <QDir>

using namespace bench;

namespace {

constexpr int kFolders = 50;
constexpr int kFilesPerFolder = 100;

// 50 folders of 100 files of 1 to 16 KiB, each of its own content.
bool makeTree(const QString& root) {
    quint64 x = 0x2545F4914F6CDD1DULL;
    for (int d = 0; d < kFolders; ++d) {
        const QString folder = root + QStringLiteral("/folder %1").arg(d);
        if (!QDir().mkpath(folder))
            return false;
        for (int i = 0; i < kFilesPerFolder; ++i) {
            QFile f(folder + QStringLiteral("/file_%1.txt").arg(i));
            if (!f.open(QIODevice::WriteOnly))
                return false;
            QByteArray data(int(1024 + (d * kFilesPerFolder + i) * 2654435761u % (15 * 1024)),
                            Qt::Uninitialized);
            for (char& c : data) {
                x ^= x << 13, x ^= x >> 7, x ^= x << 17;
                c = char('a' + x % 26);
            }
            if (f.write(data) != data.size())
                return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    WorkDir work;
    const QString tree = work.path(QStringLiteral("tree"));
    if (!makeTree(tree))
        return 1;
    const int files = kFolders * kFilesPerFolder;
    std::vector<double> ours, theirs;
    for (int run = 0; run < benchcommon::kRuns; ++run) {
        const QString copy = work.path(QStringLiteral("copy%1").arg(run));
        const double base =
            timeCommand(QStringLiteral("sh"),
                        {QStringLiteral("-c"), QStringLiteral("cp -r \"$0\" \"$1\" && sync"), tree, copy});
        QDir(copy).removeRecursively();
        if (base <= 0)
            return 1;
        theirs.push_back(files / base);

        Harness h;
        if (!h.start())
            return 1;
        QElapsedTimer t;
        t.start();
        CloudFileSyncMgr::shared().uploadFileByDiskFile(tree, CloudFileInfo::rootFile());
        waitUntil([&] {
            return CloudFileSyncMgr::shared().operationCount() == 0 &&
                   finishedCount(KZUploadMgr::shared()) == files;
        });
        const double secs = double(t.nsecsElapsed()) / 1e9;
        const int failed = KZUploadMgr::shared().count(KZTransportJobStatusError);
        if (failed) {
            std::printf("tree_upload: %d of %d files failed\n", failed, files);
            return 1;
        }
        ours.push_back(files / secs);
    }
    benchcommon::printSeries("tree_upload nubo", ours, "files/s");
    benchcommon::printSeries("tree_upload cp -r and sync", theirs, "files/s");
    const double n = benchcommon::median(ours), b = benchcommon::median(theirs);
    std::printf("goal ratio>=0.35 %s\n", n >= 0.35 * b ? "met" : "MISSED");
    benchcommon::ratioForRates("tree_upload", n, b);
    return 0;
}
