// One 1 GiB file through the upload engine into the embedded service, against sha1sum of the
// same file in the same run (both with the file in the page cache).
#include "transfer_bench.h"

using namespace bench;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Harness h;
    if (!h.start())
        return 1;
    const QString file = h.dir.path() + QStringLiteral("/big.bin");
    if (!writeRandomFile(file, kGiB))
        return 1;
    timeCommand(QStringLiteral("cat"), {file}); // warm the page cache for both sides
    const double base = timeCommand(QStringLiteral("sha1sum"), {file});

    QElapsedTimer t;
    t.start();
    KZBackgroundThread::shared().runAndWait([&] {
        KZUploadMgr::shared().addJobs({KZUploadMgr::makeJob(file, QStringLiteral("/big.bin"), kGiB, false)});
    });
    waitUntil([] { return finishedCount(KZUploadMgr::shared()) == 1; });
    const double secs = double(t.nsecsElapsed()) / 1e9;
    if (KZUploadMgr::shared().count(KZTransportJobStatusFinished) != 1) {
        std::printf("upload failed\n");
        return 1;
    }
    const double mib = double(kGiB) / (1024 * 1024);
    std::printf("upload_1g: nubo %.2f s (%.1f MiB/s), sha1sum %.2f s (%.1f MiB/s)\n", secs, mib / secs, base,
                mib / base);
    ratioLine("upload_1g", mib / secs, mib / base);
    return 0;
}
