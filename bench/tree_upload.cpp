// A real folder tree (the machine's documentation folder) through the cloud sync manager and
// the upload engine, in files per second, against "cp -r" of the same tree in the same run.
#include "transfer_bench.h"

#include "cloud/CloudFileInfo.h"
#include "sync/CloudFileSyncMgr.h"

#include <QDirIterator>

using namespace bench;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Harness h;
    if (!h.start())
        return 1;
    const QString source = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/usr/share/doc");
    const QString tree = h.dir.path() + QStringLiteral("/doc");
    if (timeCommand(QStringLiteral("cp"), {QStringLiteral("-rL"), source, tree}) < 0)
        std::printf("note: some entries of %s could not be copied\n", qPrintable(source));
    int files = 0;
    for (QDirIterator it(tree, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();
         it.next())
        ++files;
    if (files == 0)
        return 1;
    const double base = timeCommand(QStringLiteral("cp"),
                                    {QStringLiteral("-r"), tree, h.dir.path() + QStringLiteral("/copy")});

    QElapsedTimer t;
    t.start();
    CloudFileSyncMgr::shared().uploadFileByDiskFile(tree, CloudFileInfo::rootFile());
    waitUntil([&] {
        return CloudFileSyncMgr::shared().operationCount() == 0 &&
               finishedCount(KZUploadMgr::shared()) == files;
    });
    const double secs = double(t.nsecsElapsed()) / 1e9;
    const int failed = KZUploadMgr::shared().count(KZTransportJobStatusError);
    std::printf("tree_upload: %d files, nubo %.2f s (%.0f files/s, %d failed), cp -r %.2f s (%.0f files/s)\n",
                files, secs, files / secs, failed, base, files / base);
    ratioLine("tree_upload", files / secs, files / base);
    return failed == 0 ? 0 : 1;
}
