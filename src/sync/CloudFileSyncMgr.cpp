#include "sync/CloudFileSyncMgr.h"

#include "foundation/Dispatch.h"
#include "foundation/SingletonT.h"
#include "transfer/CloudPaths.h"
#include "transfer/KZUploadMgr.h"
#include "transfer/SessionBridge.h"
#include "transfer/TransferErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <optional>

using namespace nubo;
using namespace nubo::sync;
using namespace nubo::transfer;

namespace {

struct LocalFolder {
    QFileInfoList entries; // by name
    // Names that are not text in the file-name encoding: as text they would read as another
    // name (or as some other entry's), so they can neither become cloud names nor be opened
    // again from the text of their path.
    QList<QByteArray> undecodable;
};

// The entries of a local folder, or nothing when it cannot be read: a folder that a missing
// permission shows as empty must not pass for an empty one.
std::optional<LocalFolder> readLocalFolder(const QString& path) {
    DIR* d = ::opendir(QFile::encodeName(path).constData());
    if (!d)
        return std::nullopt;
    LocalFolder folder;
    const QDir dir(path);
    for (;;) {
        errno = 0; // the end of the listing and a failure both answer null
        const dirent* e = ::readdir(d);
        if (!e)
            break;
        const QByteArray raw(e->d_name);
        if (raw == "." || raw == "..")
            continue;
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) == raw)
            folder.entries.append(QFileInfo(dir, name));
        else
            folder.undecodable.append(raw);
    }
    const bool complete = errno == 0;
    ::closedir(d);
    if (!complete)
        return std::nullopt;
    std::sort(folder.entries.begin(), folder.entries.end(),
              [](const QFileInfo& a, const QFileInfo& b) { return a.fileName() < b.fileName(); });
    std::sort(folder.undecodable.begin(), folder.undecodable.end());
    return folder;
}

// A name as the user can find it again: what is text as text, each other byte as "\xNN".
QString shownName(const QByteArray& raw) {
    QString out;
    for (qsizetype i = 0; i < raw.size();) {
        const auto lead = uchar(raw[i]);
        const qsizetype n = lead < 0x80 ? 1 : lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 0;
        const QByteArrayView seq(raw.constData() + i, std::min(n, raw.size() - i));
        if (n > 0 && seq.size() == n && seq.isValidUtf8()) {
            out += QString::fromUtf8(seq);
            i += n;
        } else {
            out += QString::asprintf("\\x%02X", lead);
            ++i;
        }
    }
    return out;
}

BWError undecodableNameError(const QString& folder, const QByteArray& raw) {
    const QString shown = folder + QLatin1Char('/') + shownName(raw);
    const QString path = folder + QLatin1Char('/') + QFile::decodeName(raw);
    return BWError(BWError::kDomainApplication, kErrLocalRead,
                   {{BWError::kErrMsgKey, QStringLiteral("“%1”：文件名不是 UTF-8 编码，无法上传").arg(shown)},
                    {QStringLiteral("path"), path}});
}

// The live node of that name in a folder, or one with nid -1 when there is none. One lookup, where
// listing the folder made each of thousands of items placed into it cost the whole folder.
Result<ServiceNode> childNamed(CloudService& svc, const ServiceNode& folder, const QString& name) {
    auto r = svc.nodeByPath(cloudJoin(folder.path, name));
    if (!r.ok() && r.error.code() == kCloudErrorNotFound)
        return {};
    return r;
}

// The children of a folder by name.
Result<QHash<QString, ServiceNode>> childrenByName(CloudService& svc, qint64 nid) {
    Result<QHash<QString, ServiceNode>> r;
    auto children = svc.children(nid);
    if (!children.ok())
        return Result<QHash<QString, ServiceNode>>::failure(children.error);
    for (const ServiceNode& n : children.value)
        r.value.insert(n.name, n);
    return r;
}

// The folder given by a node of the interface, read afresh from the service.
Result<ServiceNode> freshFolder(CloudService& svc, const CloudFileInfoPtr& folder) {
    if (!folder)
        return Result<ServiceNode>::failure(transferError(kErrSourceMissing));
    auto r = svc.node(folder->nid());
    if (!r.ok() && !folder->path().isEmpty())
        r = svc.nodeByPath(folder->path());
    if (r.ok() && !r.value.isDir)
        return Result<ServiceNode>::failure(transferError(kErrSourceMissing, folder->path()));
    return r;
}

class CloudOperation : public SyncOperation {
public:
    CloudOperation(QString name, int type, std::shared_ptr<CloudService> svc)
        : SyncOperation(std::move(name), type), m_svc(std::move(svc)) {}

protected:
    std::shared_ptr<CloudService> m_svc;
};

class UploadOperation : public CloudOperation {
public:
    UploadOperation(std::shared_ptr<CloudService> svc, QString disk, CloudFileInfoPtr dest)
        : CloudOperation(QStringLiteral("upload:%1>%2").arg(disk, dest ? dest->path() : QString()),
                         KZCloudFileSyncTypeUpload, std::move(svc)),
          m_disk(std::move(disk)), m_dest(std::move(dest)) {}

    void run() override {
        auto dest = freshFolder(*m_svc, m_dest);
        if (!dest.ok())
            return fail(dest.error);
        m_top = dest.value.nid;
        const QFileInfo fi(m_disk);
        if (fi.isDir() && !fi.isSymLink())
            uploadFolder(fi, dest.value);
        else if (fi.isFile())
            uploadFile(fi, dest.value);
        else
            fail(transferError(kErrSourceMissing, m_disk));
        m_jobs.flush();
        if (ctrlCount > filesCount)
            cloudTreeChanged();
    }

private:
    Result<ServiceNode> existing(const ServiceNode& parent, const QString& name) {
        if (parent.nid == m_top)
            return childNamed(*m_svc, parent, name); // the chosen item: its name alone
        if (!m_children.contains(parent.nid)) {
            auto r = childrenByName(*m_svc, parent.nid);
            if (!r.ok())
                return Result<ServiceNode>::failure(r.error);
            m_children.insert(parent.nid, r.value);
        }
        Result<ServiceNode> out;
        out.value = m_children[parent.nid].value(name);
        return out;
    }

    void uploadFolder(const QFileInfo& dir, const ServiceNode& parent) {
        const std::optional<LocalFolder> entries = readLocalFolder(dir.filePath());
        if (!entries) // named, since the page shows only the text
            return fail(
                BWError(BWError::kDomainApplication, kErrLocalRead,
                        {{BWError::kErrMsgKey, QStringLiteral("无法读取文件夹：%1").arg(dir.filePath())},
                         {QStringLiteral("path"), dir.filePath()}}));
        const QString name = dir.fileName();
        auto ex = existing(parent, name);
        if (!ex.ok())
            return fail(ex.error);
        ServiceNode target;
        if (ex.value.nid >= 0 && ex.value.isDir) {
            if (ask(conflictError(kErrConflictFolderUpload, ex.value.path), true) != SyncAnswer::Merge)
                return;
            target = ex.value;
        } else {
            if (ex.value.nid >= 0) {
                if (ask(conflictError(kErrConflictFileCloud, ex.value.path), false) != SyncAnswer::Cover)
                    return;
                if (BWError e = m_svc->remove({ex.value.nid}))
                    return fail(e);
            }
            auto made = m_svc->createFolder(parent.nid, name);
            if (!made.ok())
                return fail(made.error);
            target = made.value;
            m_children.insert(target.nid, {}); // a new folder has no children to meet
            ++ctrlCount;
        }
        for (const QByteArray& raw : entries->undecodable) {
            if (stopped())
                return;
            fail(undecodableNameError(dir.filePath(), raw));
        }
        for (const QFileInfo& e : entries->entries) {
            if (stopped())
                return;
            if (e.isDir()) {
                if (!e.isSymLink()) // a linked folder could lead into a loop
                    uploadFolder(e, target);
            } else if (e.isFile()) {
                uploadFile(e, target);
            }
        }
    }

    void uploadFile(const QFileInfo& file, const ServiceNode& parent) {
        const QString name = file.fileName();
        auto ex = existing(parent, name);
        if (!ex.ok())
            return fail(ex.error);
        bool replace = false;
        if (ex.value.nid >= 0) {
            if (ask(conflictError(kErrConflictFileCloud, ex.value.path), false) != SyncAnswer::Cover)
                return;
            if (ex.value.isDir) {
                if (BWError e = m_svc->remove({ex.value.nid}))
                    return fail(e);
            } else {
                replace = true; // the commit replaces the file, so it is never missing meanwhile
            }
        }
        // A link goes up as the file it points to, under its own name: the job reads that file,
        // as its source is never opened through a link.
        const QString source = file.isSymLink() ? file.canonicalFilePath() : file.absoluteFilePath();
        m_jobs.add(KZUploadMgr::makeJob(source, cloudJoin(parent.path, name), file.size(), replace));
        ++filesCount;
        ++ctrlCount;
    }

    QString m_disk;
    CloudFileInfoPtr m_dest;
    qint64 m_top = -1; // the destination folder
    QHash<qint64, QHash<QString, ServiceNode>> m_children;
    JobBatch<KZUploadMgr> m_jobs;
};

// Moves (type 1) and copies (type 4) of one cloud node into a folder.
class MoveCopyOperation : public CloudOperation {
public:
    MoveCopyOperation(std::shared_ptr<CloudService> svc, CloudFileInfoPtr src, CloudFileInfoPtr dest,
                      int type)
        : CloudOperation(
              QStringLiteral("%1:%2>%3")
                  .arg(type == KZCloudFileSyncTypeMove ? QStringLiteral("move") : QStringLiteral("copy"))
                  .arg(src->nid())
                  .arg(dest ? dest->nid() : -1),
              type, std::move(svc)),
          m_src(std::move(src)), m_dest(std::move(dest)) {}

    void run() override {
        auto src = m_svc->node(m_src->nid());
        if (!src.ok())
            return fail(src.error);
        auto dest = freshFolder(*m_svc, m_dest);
        if (!dest.ok())
            return fail(dest.error);
        auto same = childNamed(*m_svc, dest.value, src.value.name);
        if (!same.ok())
            return fail(same.error);
        const bool move = type() == KZCloudFileSyncTypeMove;
        const ServiceNode ex = same.value;
        if (ex.nid < 0) {
            if (BWError e = place(src.value, dest.value.nid, {}))
                return fail(e);
        } else if (move && ex.nid == src.value.nid) {
            return; // already there
        } else if (move && src.value.isDir) {
            // A folder is never merged by a move: it stays where it is once the user has seen it.
            ask(conflictError(kErrConflictFolderMove, ex.path), true);
            return;
        } else {
            const SyncAnswer a = ask(conflictError(kErrConflictFileCloud, ex.path), false);
            if (a != SyncAnswer::Cover && (a != SyncAnswer::Keep || move))
                return;
            if (a == SyncAnswer::Cover && ex.nid == src.value.nid)
                return; // a copy over itself changes nothing
            // A free name, by looking up candidates as they are after the answer: listing the
            // folder instead made "保留两者" for thousands of items slow down as it filled.
            BWError lookupError;
            auto taken = [&](const QString& n) {
                if (lookupError)
                    return false; // ends the search; the error is reported below
                auto r = childNamed(*m_svc, dest.value, n);
                lookupError = r.error;
                return r.ok() && r.value.nid >= 0;
            };
            const QString freeOne = freeName(src.value.name, taken);
            if (lookupError)
                return fail(lookupError);
            if (a == SyncAnswer::Keep) {
                if (BWError e = place(src.value, dest.value.nid, freeOne))
                    return fail(e);
            } else {
                // Into place under a free name first, then the old item goes and the new one takes
                // its name: a failure on the way never loses both, even when one holds the other.
                auto placed = placeNode(src.value, dest.value.nid, freeOne);
                if (!placed.ok())
                    return fail(placed.error);
                if (BWError e = m_svc->remove({ex.nid}))
                    return fail(e);
                auto renamed = m_svc->rename(placed.value.nid, src.value.name);
                if (!renamed.ok())
                    return fail(renamed.error);
            }
        }
        ++ctrlCount;
        if (!src.value.isDir)
            ++filesCount;
        cloudTreeChanged();
    }

private:
    Result<ServiceNode> placeNode(const ServiceNode& src, qint64 destNid, const QString& name) {
        return type() == KZCloudFileSyncTypeMove ? m_svc->move(src.nid, destNid, name)
                                                 : m_svc->copy(src.nid, destNid, name);
    }
    BWError place(const ServiceNode& src, qint64 destNid, const QString& name) {
        return placeNode(src, destNid, name).error;
    }

    CloudFileInfoPtr m_src;
    CloudFileInfoPtr m_dest;
};

} // namespace

CloudFileSyncMgr& CloudFileSyncMgr::shared() {
    return nubo::SingletonT<CloudFileSyncMgr>::instance();
}

void CloudFileSyncMgr::uploadFileByDiskFile(const QString& diskPath, const CloudFileInfoPtr& destFolder) {
    uploadFilesByDiskFiles({diskPath}, destFolder);
}

void CloudFileSyncMgr::uploadFilesByDiskFiles(const QStringList& diskPaths,
                                              const CloudFileInfoPtr& destFolder) {
    QList<std::shared_ptr<nubo::sync::SyncOperation>> ops;
    for (const QString& p : diskPaths)
        ops << std::make_shared<UploadOperation>(service(), p, destFolder);
    m_queue.addTogether(ops);
}

void CloudFileSyncMgr::moveWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs,
                                            const CloudFileInfoPtr& destFolder) {
    addMoveCopy(srcs, destFolder, KZCloudFileSyncTypeMove);
}

void CloudFileSyncMgr::copyWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs,
                                            const CloudFileInfoPtr& destFolder) {
    addMoveCopy(srcs, destFolder, KZCloudFileSyncTypeCopy);
}

void CloudFileSyncMgr::addMoveCopy(const QList<CloudFileInfoPtr>& srcs, const CloudFileInfoPtr& destFolder,
                                   int type) {
    QList<std::shared_ptr<nubo::sync::SyncOperation>> ops;
    for (const auto& src : srcs)
        if (src)
            ops << std::make_shared<MoveCopyOperation>(service(), src, destFolder, type);
    m_queue.addTogether(ops);
}
