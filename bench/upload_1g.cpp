// One 1 GiB file through the upload engine into the embedded service, against sha1sum of the
// same file in the same run (both with the file in the page cache). Each upload goes to a fresh
// service. An upload is finished only once its blocks are on disk, so the disk's durable write
// of the same file is printed too, as one "dd ... conv=fsync" stream and as several writers each
// making a share of it durable: the second is the disk's ceiling for an upload, which writes its
// blocks from several lanes. Neither enters the ratio.
#include "transfer_bench.h"

using namespace bench;

namespace {

constexpr int kWriters = 8;

// Seconds for kWriters "dd" processes, each copying and syncing its share of `file`; negative
// when one failed.
double timeParallelWriters(const WorkDir& work, const QString& file, qint64 size) {
    const qint64 chunk = 8 << 20;
    const qint64 share = size / kWriters / chunk; // in chunks
    QElapsedTimer t;
    t.start();
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int k = 0; k < kWriters; ++k) {
        auto p = std::make_unique<QProcess>();
        p->setStandardOutputFile(QProcess::nullDevice());
        p->setStandardErrorFile(QProcess::nullDevice());
        p->start(QStringLiteral("dd"),
                 {QStringLiteral("if=") + file,
                  QStringLiteral("of=") + work.path(QStringLiteral("share%1.bin").arg(k)),
                  QStringLiteral("bs=8M"), QStringLiteral("skip=%1").arg(k * share),
                  QStringLiteral("count=%1").arg(share), QStringLiteral("conv=fsync")});
        writers.push_back(std::move(p));
    }
    bool ok = true;
    for (auto& p : writers)
        ok = p->waitForFinished(-1) && p->exitCode() == 0 && ok;
    const double secs = double(t.nsecsElapsed()) / 1e9;
    for (int k = 0; k < kWriters; ++k)
        QFile::remove(work.path(QStringLiteral("share%1.bin").arg(k)));
    return ok ? secs : -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    WorkDir work;
    const QString file = work.path(QStringLiteral("big.bin"));
    if (!writeRandomFile(file, kGiB))
        return 1;
    const double mib = double(kGiB) / (1024 * 1024);
    std::vector<double> ours, theirs, disk, parallelDisk;
    for (int run = 0; run < benchcommon::kRuns; ++run) {
        timeCommand(QStringLiteral("cat"), {file}); // warm the page cache for both sides
        theirs.push_back(mib / timeCommand(QStringLiteral("sha1sum"), {file}));
        parallelDisk.push_back(mib / timeParallelWriters(work, file, kGiB));
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
    benchcommon::printSeries("disk durable write (8 dd conv=fsync in parallel)", parallelDisk, "MiB/s");
    const double n = benchcommon::median(ours), b = benchcommon::median(theirs);
    std::printf("durable write / sha1sum: %.2f with one stream, %.2f with %d writers (the highest ratio "
                "this disk allows an upload)\n",
                b > 0 ? benchcommon::median(disk) / b : 0.0,
                b > 0 ? benchcommon::median(parallelDisk) / b : 0.0, kWriters);
    std::printf("goal ratio>=1.4 %s\n", n >= 1.4 * b ? "met" : "MISSED");
    benchcommon::ratioForRates("upload_1g", n, b);
    return 0;
}
