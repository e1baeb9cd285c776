// Rows dragged out to a file manager: the desktop does not say where a drop landed, so the files
// are offered as local files. When the file manager asks for them (at the drop) they are fetched
// into a private staging folder, and the file manager copies them from there into the folder
// the user dropped them in.
#include "ui/files/KZFilesViewController.h"

#include "foundation/Dispatch.h"
#include "kit/Drag.h"
#include "shell/KZToast.h"
#include "shell/KZWindowsManager.h"
#include "transport/KZDownloadMgrProxy.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

namespace {

constexpr qint64 kStagingKeptMs = 60 * 60 * 1000; // a file manager may still copy from a recent one

// Whether every download into `folder` has finished, and none failed for good.
bool downloadsDoneUnder(const QString& folder, bool* failed) {
    const QString prefix = folder + QLatin1Char('/');
    for (const KZDownloadJobOpenInfoPtr& job :
         KZDownloadMgrProxy::shareDownloadMgrProxy()->unFinishedDownloadJobOpenInfos()) {
        if (!job || !job->m_path.startsWith(prefix))
            continue;
        if (job->m_status == KZTransportJobStatusError || job->m_status == KZTransportJobStatusCancelled) {
            *failed = true;
            continue;
        }
        return false;
    }
    return true;
}

// A staged file or folder is complete: a file with the cloud file's size, a folder whose files
// have all arrived (none still partial).
bool isComplete(const CloudFileInfoPtr& f, const QString& local) {
    const QFileInfo info(local);
    if (!f->isDirectory())
        return info.isFile() && qint64(info.size()) == qint64(f->m_size());
    return info.isDir();
}

// A fresh folder under `root` for one drag, named by the time, after the stagings a file manager
// can no longer be copying from are removed; empty when it cannot be made. Only the user may
// enter `root`.
QString newStagingFolder(const QString& root) {
    QDir rootDir(root);
    if (!rootDir.mkpath(QStringLiteral(".")))
        return {};
    QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const QFileInfo& old : rootDir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (old.fileName().toLongLong() < now - kStagingKeptMs)
            QDir(old.absoluteFilePath()).removeRecursively();
    QString staging = root + QLatin1Char('/') + QString::number(now);
    for (int i = 1; QFileInfo::exists(staging); ++i)
        staging = root + QLatin1Char('/') + QString::number(now) + QLatin1Char('-') + QString::number(i);
    if (!rootDir.mkdir(QFileInfo(staging).fileName()))
        return {};
    return staging;
}

// Whether the wait for the files staged in `staging` is over: every one arrived whole, or a job
// failed for good (`failed` stays set once a poll saw that).
bool stagingSettled(const QList<CloudFileInfoPtr>& chosen, const QString& staging, bool& failed) {
    if (!downloadsDoneUnder(staging, &failed))
        return false;
    for (const CloudFileInfoPtr& f : chosen)
        if (!isComplete(f, staging + QLatin1Char('/') + f->name()))
            return failed; // a failed job never completes: stop waiting for it
    // A folder's files come in as several jobs: wait until none is partial any more.
    QDirIterator it(staging, {QStringLiteral("*.part")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    return !it.hasNext();
}

} // namespace

QString KZFilesViewController::dragOutStagingRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/drag-out");
}

QStringList KZFilesViewController::filesForDragOut(const QList<CloudFileInfoPtr>& files, int timeoutMs) {
    const QList<CloudFileInfoPtr> chosen = operableFiles(files);
    if (chosen.isEmpty())
        return {};
    const QString staging = newStagingFolder(dragOutStagingRoot());
    if (staging.isEmpty())
        return {};
    m_dragOut = {staging, true, std::nullopt, {}};
    kit::drag::whenDropTargetFinishes(this,
                                      [this, staging](bool taken) { dragOutTargetFinished(staging, taken); });
    if (!downloadFiles(chosen, staging)) {
        m_dragOut = {};
        QDir(staging).removeRecursively();
        return {};
    }

    KZWindowsManager::showDownloadMessageInBottomBarMiddleArea(QStringLiteral("正在准备下载文件..."));
    QPointer<KZFilesViewController> self(this);
    QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(50);
    bool failed = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!self || deadline.hasExpired() || stagingSettled(chosen, staging, failed))
            loop.quit();
    });
    poll.start();
    loop.exec();
    KZWindowsManager::showDownloadMessageInBottomBarMiddleArea(QString());

    // The downloads' empty work folders would be copied along with the files.
    QDirIterator work(staging, {QStringLiteral(".Download")}, QDir::Dirs | QDir::Hidden,
                      QDirIterator::Subdirectories);
    while (work.hasNext())
        QDir().rmdir(work.next());

    QStringList out;
    for (const CloudFileInfoPtr& f : chosen) {
        const QString local = staging + QLatin1Char('/') + f->name();
        if (isComplete(f, local))
            out.append(local);
    }
    if (self && m_dragOut.staging == staging) {
        m_dragOut.providing = false;
        // The target gave its answer while the files were on their way.
        if (const std::optional<bool> taken = m_dragOut.taken) {
            settleDragOut(*taken);
            if (!*taken)
                return {};
        }
    }
    return out;
}

void KZFilesViewController::dragOutTargetFinished(const QString& staging, bool taken) {
    if (staging != m_dragOut.staging)
        return;
    if (m_dragOut.providing)
        m_dragOut.taken = taken;
    else
        settleDragOut(taken);
}

void KZFilesViewController::settleDragOut(bool taken) {
    const DragOut done = std::exchange(m_dragOut, {});
    if (taken) {
        if (done.queuedToast)
            done.queuedToast();
        return;
    }
    // A drop the target did not take leaves nothing: no download records, no staged files.
    KZDownloadMgrProxy* proxy = KZDownloadMgrProxy::shareDownloadMgrProxy();
    const QString prefix = done.staging + QLatin1Char('/');
    for (const auto* list :
         {&proxy->unFinishedDownloadJobOpenInfos(), &proxy->finishedDownloadJobOpenInfos()})
        for (const KZDownloadJobOpenInfoPtr& job : QList(*list))
            if (job && job->m_path.startsWith(prefix))
                proxy->cancel(job->m_path);
    // After the cancels, on the thread that runs them, so that no job writes there any more.
    nubo::KZBackgroundThread::shared().run([staging = done.staging] { QDir(staging).removeRecursively(); });
}
