// One 1 GiB file through the upload engine into the embedded service, against sha1sum of the
// same file in the same run (both with the file in the page cache). Each upload goes to a fresh
// service. An upload is finished only once its blocks are on disk, so the disk's durable write
// of the same file ("dd ... conv=fsync", same run) is printed too: no upload can beat it.
#include "transfer_bench.h"

using namespace bench;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    WorkDir work;
    const QString file = work.path(QStringLiteral("big.bin"));
    if (!writeRandomFile(file, kGiB))
        return 1;
    const double mib = double(kGiB) / (1024 * 1024);
    std::vector<double> ours, theirs, disk;
    for (int run = 0; run < benchcommon::kRuns; ++run) {
        timeCommand(QStringLiteral("cat"), {file}); // warm the page cache for both sides
        theirs.push_back(mib / timeCommand(QStringLiteral("sha1sum"), {file}));
        const QString copy = work.path(QStringLiteral("durable.bin"));
        disk.push_back(mib / timeCommand(QStringLiteral("dd"),
                                         {QStringLiteral("if=") + file, QStringLiteral("of=") + copy,
                                          QStringLiteral("bs=8M"), QStringLiteral("conv=fsync")}));
        QFile::remove(copy);
        Harness h;
        if (!h.start())
            return 1;
        QElapsedTimer t;
        t.start();
        KZBackgroundThread::shared().runAndWait([&] {
            KZUploadMgr::shared().addJobs(
                {KZUploadMgr::makeJob(file, QStringLiteral("/big.bin"), kGiB, false)});
        });
        waitUntil([] { return finishedCount(KZUploadMgr::shared()) == 1; });
        const double secs = double(t.nsecsElapsed()) / 1e9;
        if (KZUploadMgr::shared().count(KZTransportJobStatusFinished) != 1) {
            std::printf("upload failed\n");
            return 1;
        }
        ours.push_back(mib / secs);
    }
    benchcommon::printSeries("upload_1g nubo", ours, "MiB/s");
    benchcommon::printSeries("upload_1g sha1sum", theirs, "MiB/s");
    benchcommon::printSeries("disk durable write (dd conv=fsync)", disk, "MiB/s");
    const double n = benchcommon::median(ours), b = benchcommon::median(theirs);
    std::printf("durable write / sha1sum: %.2f (the highest ratio this disk allows an upload)\n",
                b > 0 ? benchcommon::median(disk) / b : 0.0);
    std::printf("goal ratio>=1.4 %s\n", n >= 1.4 * b ? "met" : "MISSED");
    benchcommon::ratioForRates("upload_1g", n, b);
    return 0;
}
