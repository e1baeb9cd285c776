// One 1 GiB file from the embedded service through the download engine to a local folder,
// against sha1sum of the same file in the same run. Each run downloads from a fresh service.
#include "transfer_bench.h"

#include <QDir>

using namespace bench;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    WorkDir work;
    const QString file = work.path(QStringLiteral("big.bin"));
    if (!writeRandomFile(file, kGiB))
        return 1;
    const double mib = double(kGiB) / (1024 * 1024);
    std::vector<double> ours, theirs;
    for (int run = 0; run < benchcommon::kRuns; ++run) {
        Harness h;
        if (!h.start())
            return 1;
        // Into the service first (not timed).
        KZBackgroundThread::shared().runAndWait([&] {
            KZUploadMgr::shared().addJobs(
                {KZUploadMgr::makeJob(file, QStringLiteral("/big.bin"), kGiB, false)});
        });
        waitUntil([] { return finishedCount(KZUploadMgr::shared()) == 1; });
        auto node = h.service->nodeByPath(QStringLiteral("/big.bin"));
        if (!node.ok())
            return 1;
        timeCommand(QStringLiteral("cat"), {file});
        theirs.push_back(mib / timeCommand(QStringLiteral("sha1sum"), {file}));

        const QString out = h.dir.path() + QStringLiteral("/out");
        QDir().mkpath(out);
        QElapsedTimer t;
        t.start();
        KZBackgroundThread::shared().runAndWait([&] {
            KZDownloadMgr::shared().addJobs(
                {KZDownloadMgr::makeJob(node.value, out, out + QStringLiteral("/big.bin"), false)});
        });
        waitUntil([] { return finishedCount(KZDownloadMgr::shared()) == 1; });
        const double secs = double(t.nsecsElapsed()) / 1e9;
        if (KZDownloadMgr::shared().count(KZTransportJobStatusFinished) != 1) {
            std::printf("download failed\n");
            return 1;
        }
        ours.push_back(mib / secs);
    }
    benchcommon::printSeries("download_1g nubo", ours, "MiB/s");
    benchcommon::printSeries("download_1g sha1sum", theirs, "MiB/s");
    const double n = benchcommon::median(ours), b = benchcommon::median(theirs);
    std::printf("goal ratio>=1.4 %s\n", n >= 1.4 * b ? "met" : "MISSED");
    benchcommon::ratioForRates("download_1g", n, b);
    return 0;
}
