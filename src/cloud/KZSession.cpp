#include "cloud/KZSession.h"

#include "cloud/CloudErrors.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/ParallelFor.h"
#include "foundation/SingletonT.h"
#include "service/CloudService.h"
#include "storage/DataPaths.h"
#include "storage/LogCopier.h"
#include "storage/SystemConfig.h"
#include "storage/UserDatabase.h"

#include <QSet>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

using namespace nubo;

namespace {

// Pages of a full fetch: small enough that the writer starts soon and has little left after the
// last one, large enough that a page costs little beyond its rows.
constexpr int kFetchPageSize = 25000;
constexpr int kChangePageSize = 10000;

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? QString(folder + name) : QString(folder + u'/' + name);
}

// Makes a fetched page ready, its parts each on a core of their own: staged in memory for the
// table (`stages`) and made into batches for the tree (appended to `batches`, in page order).
BWError preparePage(CloudFileTable& table, const NodeList& page, std::vector<KZNodeTree::Batch>& batches,
                    std::vector<std::unique_ptr<Database>>& stages) {
    const int parts = std::min(parallelParts(page.size(), 2048), int(CloudFileTable::kMaxStagesPerLoad));
    const size_t base = batches.size();
    batches.resize(base + size_t(parts));
    std::vector<Result<std::unique_ptr<Database>>> staged(static_cast<size_t>(parts));
    parallelFor(parts, [&](int part) {
        const qsizetype from = page.size() * part / parts, to = page.size() * (part + 1) / parts;
        const std::span<const NodeRecord> rows(page.constData() + from, size_t(to - from));
        staged[size_t(part)] = table.stagePage(rows);
        KZNodeTree::Batch& b = batches[base + size_t(part)];
        b.reserve(to - from);
        for (const NodeRecord& n : rows)
            b.add(n);
    });
    BWError stageError;
    for (auto& s : staged) {
        if (!s.ok() && !stageError)
            stageError = s.error;
        stages.push_back(std::move(s.value));
    }
    return stageError;
}

} // namespace

KZSession& KZSession::sharedSession() {
    return nubo::SingletonT<KZSession>::instance();
}

KZSession::KZSession()
    : m_backForwardList(std::make_shared<KZBackForwardList>()),
      m_folderBackForwardList(std::make_shared<KZBackForwardList>()) {
    CloudFileInfo::setNodeLookup([this](qint64 nid) { return m_tree.fileInfo(nid); });
}

KZSession::~KZSession() {
    // Records read their current path through the tree that goes now.
    CloudFileInfo::setNodeLookup({});
}

bool KZSession::isLoggedIn() const {
    QMutexLocker lock(&m_mutex);
    return m_loggedIn;
}

QPair<QString, QString> KZSession::accountIds() const {
    QMutexLocker lock(&m_mutex);
    return m_accountIds;
}

QVariantMap KZSession::userDetail() const {
    QMutexLocker lock(&m_mutex);
    return m_userDetail;
}

// ---- account

BWError KZSession::login() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (isLoggedIn())
        logout();
    m_service = CloudService::shared();
    if (!m_service) {
        // The reason the service could not be opened (its database damaged, say) is what the
        // user needs to hear, not merely that nobody is signed in.
        const BWError why = CloudService::sharedOpenError();
        return why ? why : cloudError::notSignedIn();
    }
    auto account = m_service->account();
    BWError error = account.ok() ? openTree(account.value.userId, account.value.enterpriseId) : account.error;
    if (!error)
        error = syncChanges();
    if (error) {
        m_tree.clear();
        m_db.reset();
        m_service.reset();
        return error;
    }
    m_backForwardList->login();
    m_folderBackForwardList->login();
    m_pickerNid = -1;
    m_pickerChildren.clear();
    QMutexLocker lock(&m_mutex);
    m_userDetail = account.value.userDetail;
    m_accountIds = {account.value.userId, account.value.enterpriseId};
    m_loggedIn = true;
    return {};
}

void KZSession::logout() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    m_backForwardList->logout();
    m_folderBackForwardList->logout();
    m_tree.clear();
    m_db.reset();
    m_service.reset();
    m_pickerNid = -1;
    m_pickerChildren.clear();
    QMutexLocker lock(&m_mutex);
    m_loggedIn = false;
    m_userDetail.clear();
    m_accountIds = {};
}

BWError KZSession::fullFetch() {
    CloudFileTable& table = m_db->cloudFiles();
    if (BWError e = table.beginFullLoad())
        return e;
    // While the next page is read, each page is made ready on every core, for the tree (keys and
    // folded names) and for the table (its rows staged in memory), and the page before goes into
    // the table on a thread of its own: the three take about as long as the slowest of them.
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<NodeList> toPrepare;
    using Stages = std::vector<std::unique_ptr<Database>>;
    std::deque<Stages> toWrite;
    bool reading = true, preparing = true;
    qint64 cursor = -1; // set once every page was read
    BWError writeError;
    // The next item of a queue; false once it is empty and no more come.
    auto take = [&](auto& queue, auto& item, const bool& more) {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return !queue.empty() || !more; });
        if (queue.empty())
            return false;
        item = std::move(queue.front());
        queue.pop_front();
        return true;
    };
    auto failWrite = [&](const BWError& e) {
        std::lock_guard lock(mutex);
        if (!writeError)
            writeError = e;
        toWrite.clear();
    };
    // The pages' log is copied into the file beside the writer, so the writer never waits for
    // the disk and little is left to copy after the last page.
    LogCopier copier(m_db->db().path());
    std::thread writer([&] {
        for (Stages stages; take(toWrite, stages, preparing);) {
            if (BWError e = table.loadStaged(stages))
                return failWrite(e);
            copier.request();
        }
        copier.stop(); // the last commit copies the rest itself
        // Changes made while the pages were read follow from the version of the first page on.
        if (cursor >= 0 && !writeError)
            if (BWError e = table.finishFullLoad(cursor))
                writeError = e;
    });
    std::vector<KZNodeTree::Batch> batches; // in page order, so the first of two records of an id wins
    std::thread preparer([&] {
        for (NodeList page; take(toPrepare, page, reading);) {
            Stages stages;
            if (BWError stageError = preparePage(table, page, batches, stages)) {
                failWrite(stageError);
                continue;
            }
            {
                std::lock_guard lock(mutex);
                if (!writeError)
                    toWrite.push_back(std::move(stages));
            }
            ready.notify_all();
        }
        {
            std::lock_guard lock(mutex);
            preparing = false;
        }
        ready.notify_all();
    });
    qint64 after = 0;
    qint64 firstVersion = -1;
    BWError readError;
    for (;;) {
        auto page = m_service->fetchAllNodes(after, kFetchPageSize);
        if (!page.ok()) {
            readError = page.error;
            break;
        }
        if (firstVersion < 0)
            firstVersion = page.value.version;
        {
            std::lock_guard lock(mutex);
            if (writeError)
                break;
            toPrepare.push_back(std::move(page.value.nodes));
        }
        ready.notify_all();
        if (!page.value.hasMore || page.value.next <= after)
            break;
        after = page.value.next;
    }
    {
        std::lock_guard lock(mutex);
        reading = false;
        if (readError)
            toPrepare.clear();
        else
            cursor = qMax<qint64>(firstVersion, 0);
    }
    ready.notify_all();
    preparer.join();
    if (!readError)
        m_tree.reset(std::move(batches));
    writer.join();
    if (readError)
        return readError; // the load is left unfinished: no cursor, so the next start fetches again
    return writeError;
}

BWError KZSession::openTree(const QString& userId, const QString& enterpriseId) {
    // The stored tree is read while the file's structure is checked beside it. Should the check
    // fail, what was read is dropped and the careful open sets the file aside and rebuilds it.
    auto db = UserDatabase::open(paths::dataFolder(), userId, enterpriseId, UserDatabase::Check::Beside);
    if (db.ok()) {
        m_db = std::move(db.value);
        std::vector<KZNodeTree::Batch> batches;
        auto cursor = m_db->cloudFiles().cursor(); // fails on a new file, whose tables come later
        const bool stored = cursor.ok() && cursor.value > 0;
        BWError read = stored ? readTree(batches) : BWError();
        BWError checked = m_db->awaitCheck();
        if (!checked && !read && stored) {
            m_tree.reset(std::move(batches));
            return {};
        }
        batches.clear();
        if (checked || read) {
            qCWarning(lcCloud) << "the stored tree is not readable:"
                               << (checked ? checked : read).localizedDescription();
            m_db.reset();
        }
    }
    if (!m_db) {
        db = UserDatabase::open(paths::dataFolder(), userId, enterpriseId);
        if (!db.ok())
            return db.error;
        m_db = std::move(db.value);
    }
    auto cursor = m_db->cloudFiles().cursor();
    if (!cursor.ok())
        return cursor.error;
    if (cursor.value <= 0 || m_db->wasRebuilt())
        return fullFetch();
    std::vector<KZNodeTree::Batch> batches;
    if (BWError e = readTree(batches))
        return e;
    m_tree.reset(std::move(batches));
    return {};
}

BWError KZSession::readTree(std::vector<KZNodeTree::Batch>& batches) {
    // Runs of ids on several connections at once, each made ready for the tree on its own core.
    const int parts = 2 * QThread::idealThreadCount();
    batches.assign(size_t(parts), {});
    BWError e = m_db->cloudFiles().readInParts(
        parts, [&](int part, const NodeRowView& row) { batches[size_t(part)].add(row); });
    return e;
}

BWError KZSession::syncChanges() {
    CloudFileTable& table = m_db->cloudFiles();
    auto cursor = table.cursor();
    if (!cursor.ok())
        return cursor.error;
    qint64 since = cursor.value;
    QList<KZNodeTree::Change> changes;
    for (;;) {
        auto page = m_service->fetchChanges(since, kChangePageSize);
        if (!page.ok()) {
            report(changes); // what was applied stays applied and is told
            return page.error;
        }
        if (page.value.version < since) {
            // The service has not come as far as this copy: it was reset or replaced, and its
            // change log cannot say what it no longer holds. Only a whole new copy can.
            qCWarning(lcCloud) << "the service's version" << page.value.version << "is behind the stored"
                               << since << "- fetching the whole tree again";
            return fetchAgain();
        }
        const qint64 next = qMax(since, page.value.next);
        if (BWError e = table.applyChanges(page.value.nodes, next)) {
            report(changes);
            return e;
        }
        changes.append(m_tree.apply(page.value.nodes));
        if (!page.value.hasMore || next == since)
            break;
        since = next;
    }
    report(changes);
    return {};
}

BWError KZSession::fetchAgain() {
    if (BWError e = fullFetch())
        return e;
    pruneHistories();
    emitChange(0, true, {}); // every page reloads what it shows
    return {};
}

void KZSession::report(const QList<KZNodeTree::Change>& changes) {
    if (changes.isEmpty())
        return;
    // Histories first, so a list asked for on hearing of the change finds them current.
    updateHistories(changes);

    // One report per parent folder, in the order the parents first appear; a move is a removal
    // from the old parent and an addition to the new one.
    QList<qint64> order;
    QHash<qint64, QList<CloudFileInfoPtr>> byParent;
    QHash<qint64, QString> paths;
    auto folderPath = [&](qint64 nid) {
        auto it = paths.find(nid);
        if (it == paths.end()) {
            const auto f = m_tree.fileInfo(nid);
            it = paths.insert(nid, f ? f->path() : QString());
        }
        return *it;
    };
    auto add = [&](qint64 parent, const CloudFileInfoPtr& f) {
        if (!byParent.contains(parent))
            order.append(parent);
        byParent[parent].append(f);
    };
    for (const auto& c : changes) {
        const NodeRecord& n = c.node;
        const qint64 oldParent = c.existed ? c.oldPid : n.pid;
        if (n.isDeleted()) {
            auto gone = KZNodeTree::fileInfoFromRecord(
                n, joinPath(folderPath(oldParent), c.existed ? c.oldName : n.name));
            gone->setPid(oldParent);
            add(oldParent, gone);
            continue;
        }
        if (c.existed && c.oldPid != n.pid) {
            NodeRecord old = n;
            old.pid = c.oldPid;
            old.name = c.oldName;
            old.status = 1;
            add(c.oldPid, KZNodeTree::fileInfoFromRecord(old, joinPath(folderPath(c.oldPid), c.oldName)));
        }
        auto now = m_tree.fileInfo(n.nid);
        add(n.pid, now ? now : KZNodeTree::fileInfoFromRecord(n, joinPath(folderPath(n.pid), n.name)));
    }
    for (qint64 parent : order)
        emitChange(parent, false, byParent.value(parent));
}

// Drops removed folders from the histories (and those removed with an ancestor), and renames
// renamed ones.
void KZSession::updateHistories(const QList<KZNodeTree::Change>& changes) {
    for (const auto& c : changes) {
        const NodeRecord& n = c.node;
        if (n.isDeleted() && (c.wasDir || n.isDir)) {
            const auto item = BackForwardItem::backForwardItemWithNid(n.nid, c.existed ? c.oldName : n.name);
            m_backForwardList->deleteObeject(item);
            m_folderBackForwardList->deleteObeject(item);
        } else if (!n.isDeleted() && n.isDir && c.existed && c.oldName != n.name) {
            const auto item = BackForwardItem::backForwardItemWithNid(n.nid, n.name);
            m_backForwardList->updateItem(item);
            m_folderBackForwardList->updateItem(item);
        }
    }
    // A folder removed with an ancestor is gone as well: drop its entries too.
    pruneHistories();
}

void KZSession::pruneHistories() {
    for (const auto& history : {m_backForwardList, m_folderBackForwardList}) {
        for (qint64 nid : history->allNids())
            if (!m_tree.contains(nid))
                history->deleteObeject(BackForwardItem::backForwardItemWithNid(nid, {}));
    }
}

void KZSession::emitChange(qint64 nid, bool needReset, const QList<CloudFileInfoPtr>& children) {
    QList<QPair<quint64, ChangeListener>> listeners;
    {
        QMutexLocker lock(&m_mutex);
        listeners = m_listeners;
    }
    for (const auto& l : listeners)
        l.second(nid, needReset, children);
}

quint64 KZSession::addChangeListener(ChangeListener listener) {
    QMutexLocker lock(&m_mutex);
    const quint64 token = m_nextListener++;
    m_listeners.append({token, std::move(listener)});
    return token;
}

void KZSession::removeChangeListener(quint64 token) {
    QMutexLocker lock(&m_mutex);
    m_listeners.removeIf([token](const auto& l) { return l.first == token; });
}

// ---- listings

void KZSession::storeSort(int sort) {
    SingletonT<SystemConfig>::instance().setCloudFileSort(sort);
}

KZSession::ListReply KZSession::listEntry(const BackForwardItemPtr& entry, int sort, bool foldersOnly) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    ListReply reply;
    if (!entry) {
        reply.error = cloudError::fileListFailed();
        return reply;
    }
    if (entry->isSearch()) {
        if (!m_tree.contains(entry->nid()) || !m_tree.contains(entry->searchNid())) {
            reply.error = cloudError::fileListFailed();
            return reply;
        }
        reply.cloudFile = CloudFileInfo::searchFileWithNid(entry->nid(), entry->searchNid(), entry->name());
        reply.fileList = m_tree.search(entry->searchNid(), entry->name(), sort);
        if (foldersOnly)
            reply.fileList.removeRowsIf([&](qsizetype i) { return !reply.fileList.isDirectory(i); });
        return reply;
    }
    reply.cloudFile = m_tree.fileInfo(entry->nid());
    if (!reply.cloudFile || !reply.cloudFile->isDirectory()) {
        reply.cloudFile.reset();
        reply.error = cloudError::fileListFailed();
        return reply;
    }
    reply.fileList = m_tree.list(entry->nid(), foldersOnly, sort);
    return reply;
}

KZSession::ListReply KZSession::listFolder(KZBackForwardList& history, qint64 nid, const QString& path,
                                           int sort, bool foldersOnly) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    storeSort(sort);
    ListReply reply;
    if (!isLoggedIn()) {
        reply.error = cloudError::fileListFailed();
        return reply;
    }
    BackForwardItemPtr entry;
    if (nid > 0 || nid == KZFileListNavigationJump) {
        // Open or jump: resolve the folder first, so a failure leaves the history alone.
        const qint64 target = nid > 0 ? nid : m_tree.nidForPath(path);
        const auto folder = target >= 0 ? m_tree.fileInfo(target) : nullptr;
        if (!folder || !folder->isDirectory()) {
            reply.error = cloudError::fileListFailed();
            return reply;
        }
        history.insertNode(BackForwardItem::backForwardItemWithNid(folder->nid(), folder->name()));
        entry = history.curNode();
    } else if (nid == KZFileListNavigationForward) {
        entry = history.goForward();
    } else if (nid == KZFileListNavigationBack) {
        entry = history.goBack();
    } else if (nid == KZFileListNavigationReload) {
        entry = history.curNode();
    } else {
        entry = BackForwardItem::backForwardItemWithNid(0, QStringLiteral("/"));
    }
    reply = listEntry(entry, sort, foldersOnly);
    reply.backForward = history.backForward();
    return reply;
}

KZSession::ListReply KZSession::getFileListByNid(qint64 nid, const QString& path, int sort) {
    return listFolder(*m_backForwardList, nid, path, sort, false);
}

KZSession::ListReply KZSession::getFolderListByNid(qint64 nid, const QString& path, int sort) {
    storeSort(sort);
    if (nid == KZFileListNavigationForgetPicker) {
        m_pickerNid = -1;
        m_pickerChildren.clear();
        ListReply reply;
        reply.silent = true;
        return reply;
    }
    ListReply reply = listFolder(*m_folderBackForwardList, nid, path, sort, true);
    if (!reply.error && reply.cloudFile) {
        m_pickerNid = reply.cloudFile->nid();
        m_pickerChildren.clear();
        for (qsizetype i = 0; i < reply.fileList.size(); ++i)
            m_pickerChildren.append(reply.fileList.nid(i));
    }
    return reply;
}

KZSession::ListReply KZSession::searchFileListByFileInfo(const CloudFileInfoPtr& fileInfo,
                                                         const QString& searchKey, int sort) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    storeSort(sort);
    ListReply reply;
    if (!isLoggedIn() || !fileInfo || !m_tree.contains(fileInfo->nid())) {
        reply.error = cloudError::fileListFailed();
        return reply;
    }
    // The scope: a search result keeps its own (0 the whole tree); a folder searches itself.
    const qint64 scope = fileInfo->isSearch() ? fileInfo->searchNid() : fileInfo->nid();
    if (!m_tree.isFolder(scope)) {
        reply.error = cloudError::fileListFailed();
        return reply;
    }
    KZBackForwardList& history = *m_backForwardList;
    const auto& current = history.curNode();
    if (current && current->isSearch()) {
        current->setName(searchKey);
        current->setSearchNid(scope);
    } else {
        history.insertNode(BackForwardItem::searchItem(fileInfo->nid(), scope, searchKey));
    }
    reply = listEntry(history.curNode(), sort, false);
    reply.backForward = history.backForward();
    return reply;
}

// ---- changes and operations

BWError KZSession::requestIncrNode() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (!isLoggedIn())
        return cloudError::notSignedIn();
    return syncChanges();
}

Result<QByteArray> KZSession::requestThumb(qint64 nid, int width, int height) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (!isLoggedIn())
        return Result<QByteArray>::failure(cloudError::notSignedIn());
    if (width <= 0 || height <= 0)
        return Result<QByteArray>::failure(cloudError::badArgument(QStringLiteral("缩略图尺寸无效")));
    return m_service->thumbnail(nid, width, height);
}

BWError KZSession::requestCreateDir(const QString& path) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (!isLoggedIn())
        return cloudError::notSignedIn();
    auto created = m_service->createFolderAtPath(path);
    if (!created.ok())
        return created.error;
    const NodeRecord node = created.value;
    // Brings the folder in as a change of its parent, like any other change.
    warnIfFailed(lcCloud(), syncChanges(), "reading the changes after a new folder");
    if (!m_tree.contains(node.nid)) {
        // The change log could not be read now: store and report the folder by itself.
        warnIfFailed(lcCloud(), m_db->cloudFiles().upsert({node}), "storing a new folder");
        report(m_tree.apply({node}));
    }
    if (node.pid == m_pickerNid && !m_pickerChildren.contains(node.nid))
        m_pickerChildren.append(node.nid);
    return {};
}

BWError KZSession::requestRenameFile(const CloudFileInfoPtr& file, const QString& newName) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (!isLoggedIn())
        return cloudError::notSignedIn();
    if (!file)
        return cloudError::badArgument(QStringLiteral("文件不存在"));
    auto renamed = m_service->rename(file->nid(), newName);
    if (!renamed.ok())
        return renamed.error;
    warnIfFailed(lcCloud(), syncChanges(), "reading the changes after a rename");
    return {};
}

BWError KZSession::requestDeleteFile(const QList<CloudFileInfoPtr>& files) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (!isLoggedIn())
        return cloudError::notSignedIn();
    QList<qint64> nids;
    for (const auto& f : files)
        if (f)
            nids.append(f->nid());
    if (nids.isEmpty())
        return cloudError::badArgument(QStringLiteral("请选择要删除的文件"));
    if (BWError e = m_service->remove(nids))
        return e;
    warnIfFailed(lcCloud(), syncChanges(), "reading the changes after a removal");
    return {};
}

Result<ShareInfoPtr> KZSession::requestShareFiles(const QList<CloudFileInfoPtr>& files,
                                                  const QVariantMap& userInfo) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    using R = Result<ShareInfoPtr>;
    if (!isLoggedIn())
        return R::failure(cloudError::notSignedIn());
    if (userInfo.value(kShareTypeKey).toString() != kShareTypePath)
        return R::failure(cloudError::badArgument(QStringLiteral("分享类型无效")));
    QList<qint64> nids;
    for (const auto& f : files)
        if (f)
            nids.append(f->nid());
    if (nids.isEmpty())
        return R::failure(cloudError::badArgument(QStringLiteral("请选择要分享的文件")));
    auto record = m_service->createShare(nids);
    if (!record.ok())
        return R::failure(record.error);
    return R{ShareInfo::initWithDict(record.value), {}};
}

Result<ShareInfoPtr> KZSession::requestShareFiles(const QList<ShareInfoPtr>& shares,
                                                  const QVariantMap& userInfo) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    using R = Result<ShareInfoPtr>;
    if (!isLoggedIn())
        return R::failure(cloudError::notSignedIn());
    if (userInfo.value(kShareTypeKey).toString() == kShareTypePath || shares.isEmpty() || !shares.first())
        return R::failure(cloudError::badArgument(QStringLiteral("分享类型无效")));
    auto record = m_service->share(shares.first()->sid());
    if (!record.ok())
        return R::failure(record.error);
    return R{ShareInfo::initWithDict(record.value), {}};
}

BWError KZSession::requestCancelShare(const QList<CloudFileInfoPtr>& files, const QVariantMap& userInfo) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (!isLoggedIn())
        return cloudError::notSignedIn();
    if (userInfo.value(kShareTypeKey).toString() != kShareCancelTypePath)
        return cloudError::badArgument(QStringLiteral("取消分享类型无效"));
    QStringList paths;
    for (const auto& f : files)
        if (f)
            paths.append(f->path());
    if (paths.isEmpty())
        return cloudError::badArgument(QStringLiteral("请选择要取消分享的文件"));
    return m_service->cancelSharesByPaths(paths);
}

BWError KZSession::requestCancelShare(const QList<ShareInfoPtr>& shares, const QVariantMap& userInfo) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (!isLoggedIn())
        return cloudError::notSignedIn();
    const QString type = userInfo.value(kShareTypeKey).toString();
    if (type != kShareCancelTypeShortUrl && type != kShareDeleteTypeShortUrl)
        return cloudError::badArgument(QStringLiteral("取消分享类型无效"));
    if (shares.isEmpty())
        return cloudError::badArgument(QStringLiteral("请选择要取消的分享"));
    // One request per record, in order; the first failure ends the run.
    for (const auto& s : shares) {
        if (!s)
            return cloudError::badArgument(QStringLiteral("请选择要取消的分享"));
        const BWError e = type == kShareCancelTypeShortUrl ? m_service->cancelShare(s->shorturl())
                                                           : m_service->deleteShare(s->shorturl());
        if (e)
            return e;
    }
    return {};
}

Result<QVariantList> KZSession::requestShareGetList() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    using R = Result<QVariantList>;
    if (!isLoggedIn())
        return R::failure(cloudError::notSignedIn());
    QVariantList all;
    for (int start = 0;; start += kSharePageSize) {
        auto page = m_service->listShares(start, kSharePageSize);
        if (!page.ok())
            return R::failure(page.error); // the pages already fetched are dropped
        all.append(page.value);
        if (page.value.size() != kSharePageSize)
            break;
    }
    return R{all, {}};
}

Result<QString> KZSession::requestSetPwd(const QString& pwd, const QString& shortUrl) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    using R = Result<QString>;
    if (!isLoggedIn())
        return R::failure(cloudError::notSignedIn());
    auto set = m_service->setSharePassword(shortUrl, pwd);
    if (!set.ok())
        return R::failure(set.error);
    return R{pwd, {}};
}

Result<ShareExpireInfoPtr> KZSession::requestShareSetExpire(const QString& expireId,
                                                            const QString& shortUrl) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    using R = Result<ShareExpireInfoPtr>;
    if (!isLoggedIn())
        return R::failure(cloudError::notSignedIn());
    auto set = m_service->setShareExpire(shortUrl, expireId);
    if (!set.ok())
        return R::failure(set.error);
    auto info = ShareExpireInfo::initWithDict(set.value);
    info->setExpireId(expireId);
    info->setSelected(true);
    return R{info, {}};
}

Result<QUrl> KZSession::loginJumpUrl(const QString& key) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    using R = Result<QUrl>;
    if (!isLoggedIn())
        return R::failure(cloudError::notSignedIn());
    auto url = m_service->loginJumpUrl(key);
    if (!url.ok())
        return R::failure(url.error);
    const QUrl parsed(url.value);
    // Only web pages: an address of another scheme could open a local file or program.
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != u"https" && scheme != u"http"))
        return R::failure(cloudError::badArgument(QStringLiteral("网页地址无效")));
    return R{parsed, {}};
}

// ---- transfer counts

void KZSession::setTransportCountProvider(std::function<QVariantMap()> provider) {
    QMutexLocker lock(&m_mutex);
    m_countProvider = std::move(provider);
}

void KZSession::postNotificationForTransportCount() {
    std::function<QVariantMap()> provider;
    {
        QMutexLocker lock(&m_mutex);
        provider = m_countProvider;
    }
    QVariantMap counts{{kUploadCountKey, 0}, {kDownloadCountKey, 0}, {kFinishedCountKey, 0}};
    if (provider) {
        const QVariantMap given = provider();
        for (const QString& key : {kUploadCountKey, kDownloadCountKey, kFinishedCountKey})
            counts.insert(key, given.value(key, 0).toInt());
    }
    NotificationCenter::defaultCenter().post(kNotificationTransportJobCount, counts);
}
