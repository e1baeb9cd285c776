// 1,000 local files copied in a file manager (both clipboard forms) and pasted into the file page
// with Control-V, offscreen: the time from the key press to "已加入上传列表", and the throughput
// until all 1,000 uploads are committed (each checked against the local file's SHA-1), against
// "cp" of the same files followed by "sync" in the same run (Nubo makes every committed file
// durable). Each run pastes into a folder of its own.
#include "session_bench.h"
#include "transfer_bench.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/SingletonT.h"
#include "kit/Window.h"
#include "shell/KZToast.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "ui/files/KZFilesViewController.h"

#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDir>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

using namespace bench;

namespace {

constexpr int kFiles = 1000;

QByteArray sha1Of(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(&f);
    return h.result().toHex();
}

void copyToClipboard(const QStringList& paths) {
    auto* mime = new QMimeData;
    QByteArray uris, gnome = "copy";
    for (const QString& p : paths) {
        const QByteArray u = QUrl::fromLocalFile(p).toEncoded();
        uris += u + "\r\n";
        gnome += "\n" + u;
    }
    mime->setData(QStringLiteral("text/uri-list"), uris);
    mime->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    QGuiApplication::clipboard()->setMimeData(mime);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "nubo.*=false");
    QApplication app(argc, argv);
    Harness h;
    nubo::paths::setDataFolder(h.dir.path() + QStringLiteral("/data"));
    if (!h.start())
        return 1;
    nubo::CloudService::setShared(h.service);
    if (!sessionbench::signIn())
        return 1;

    // 1,000 files of 4 to 260 KiB, each of its own content.
    WorkDir work;
    const QString source = work.path(QStringLiteral("source"));
    QDir().mkpath(source);
    QStringList paths;
    QHash<QString, QByteArray> sums;
    qint64 bytes = 0;
    for (int i = 0; i < kFiles; ++i) {
        const QString p = source + QStringLiteral("/file_%1.bin").arg(i, 4, 10, QLatin1Char('0'));
        const qint64 size = 4096 + (qint64(i) * 2654435761u) % (256 * 1024);
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        QByteArray data(int(size), Qt::Uninitialized);
        quint64 x = 0x9E3779B97F4A7C15ULL + quint64(i);
        for (char& c : data) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            c = char(x);
        }
        f.write(data);
        bytes += size;
        paths.append(p);
        sums.insert(QFileInfo(p).fileName(),
                    QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
    }

    nubo::SingletonT<nubo::SystemConfig>::instance().setFilelistViewMode(0);
    auto* page = new KZFilesViewController(CloudFileInfo::rootFile());
    kit::Window window;
    window.setContentSize(QSizeF(1200, 800));
    window.contentView()->addSubview(page->view());
    page->view()->setFrame(window.contentView()->bounds());
    window.show();
    page->viewDidAppear();
    waitUntil([&] { return !page->isListRequestPending(); });

    std::vector<double> toToast, nuboRate, cpRate;
    for (int run = 0; run < benchcommon::kRuns; ++run) {
        const QString folder = QStringLiteral("/paste%1").arg(run);
        if (!h.service->createFolderAtPath(folder).ok())
            return 1;
        page->requestIncrFiles();
        waitUntil([&] { return !page->isRefreshing(); });
        page->openDirWithJumpPath(folder, QString(), false);
        waitUntil([&] { return page->fileInfo()->path() == folder && !page->isListRequestPending(); });
        const qint64 folderId = h.service->nodeByPath(folder).value.nid;

        copyToClipboard(paths);
        QElapsedTimer t;
        t.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
        QApplication::sendEvent(page->tableView(), &press);
        waitUntil([&] {
            KZToastView* toast = KZToast::toastOf(page->view());
            return toast && !toast->isHiding() && toast->text() == QStringLiteral("已加入上传列表");
        });
        toToast.push_back(t.nsecsElapsed() / 1e6);
        waitUntil([&] {
            auto kids = h.service->children(folderId);
            return kids.ok() && kids.value.size() >= kFiles;
        });
        const double seconds = t.nsecsElapsed() / 1e9;
        auto kids = h.service->children(folderId);
        int good = 0;
        for (const auto& n : kids.value)
            good += sums.value(n.name) == n.fileHash.toLatin1() ? 1 : 0;
        if (good != kFiles) {
            std::printf("run %d: %d of %d files match their local SHA-1\n", run, good, kFiles);
            return 1;
        }
        nuboRate.push_back(bytes / seconds / (1 << 20));

        const QString copy = work.path(QStringLiteral("copy%1").arg(run));
        const double base =
            timeCommand(QStringLiteral("sh"),
                        {QStringLiteral("-c"), QStringLiteral("mkdir \"$1\" && cp \"$0\"/* \"$1\" && sync"),
                         source, copy});
        QDir(copy).removeRecursively();
        if (base <= 0)
            return 1;
        cpRate.push_back(bytes / base / (1 << 20));
    }
    // A spot check that the sums are the files' own.
    if (sums.value(QStringLiteral("file_0000.bin")) != sha1Of(paths.first()))
        return 1;

    benchcommon::printSeries("key press to \"已加入上传列表\"", toToast, "ms");
    benchcommon::printSeries("paste throughput (1,000 files committed)", nuboRate, "MiB/s");
    benchcommon::printSeries("cp + sync throughput", cpRate, "MiB/s");
    std::printf("files=%d bytes=%lld (measured on a shared machine)\n", kFiles, bytes);
    benchcommon::ratioForRates("paste_1000", benchcommon::median(nuboRate), benchcommon::median(cpRate));
    KZSessionProxy::shareSessionProxy()->logoutLocal();
    delete page;
    return 0;
}
