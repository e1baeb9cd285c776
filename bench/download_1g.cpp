// One 1 GiB file from the embedded service through the download engine to a local folder,
// against sha1sum of the same file in the same run.
#include "transfer_bench.h"

#include <QDir>

using namespace bench;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Harness h;
    if (!h.start())
        return 1;
    const QString file = h.dir.path() + QStringLiteral("/big.bin");
    if (!writeRandomFile(file, kGiB))
        return 1;
    // Into the service first (not timed).
    KZBackgroundThread::shared().runAndWait([&] {
        KZUploadMgr::shared().addJobs({KZUploadMgr::makeJob(file, QStringLiteral("/big.bin"), kGiB, false)});
    });
    waitUntil([] { return finishedCount(KZUploadMgr::shared()) == 1; });
    auto node = h.service->nodeByPath(QStringLiteral("/big.bin"));
    if (!node.ok())
        return 1;
    timeCommand(QStringLiteral("cat"), {file});
    const double base = timeCommand(QStringLiteral("sha1sum"), {file});

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
    const double mib = double(kGiB) / (1024 * 1024);
    std::printf("download_1g: nubo %.2f s (%.1f MiB/s), sha1sum %.2f s (%.1f MiB/s)\n", secs, mib / secs,
                base, mib / base);
    ratioLine("download_1g", mib / secs, mib / base);
    return 0;
}
