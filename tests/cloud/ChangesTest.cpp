#include "SessionFixture.h"

#include "foundation/NotificationCenter.h"
#include "storage/DatabaseRescue.h"
#include "support/DamagedDatabase.h"
#include "support/Images.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QUrlQuery>
#include <memory>

using namespace nubo;
using namespace nubo::test;

namespace {

class Changes : public SessionTest {
protected:
    void seed() override {
        docs = m_service.mkdir("/Docs").nid;
        old = m_service.mkdir("/Docs/Old").nid;
        deep = m_service.mkdir("/Docs/Old/Deep").nid;
        other = m_service.mkdir("/Other").nid;
        report = m_service.putFile("/Docs/Report.txt", "r").nid;
        m_service.putFile("/Docs/Old/report-2019.txt", "r");
        m_service.putFile("/Other/Summary REPORT.md", "s");
        m_service.putFile("/Other/月度报告.pdf", "p");
    }
    Answer incr() { return answerOf(proxy()->requestIncrNodeDelegate(&recorder, false, {{"n", 1}})); }
    // The changes heard for folder `nid`, latest last.
    QList<CloudFileInfoPtr> changesOf(qint64 nid) {
        QList<CloudFileInfoPtr> out;
        for (const auto& c : recorder.changes)
            if (c.nid == nid)
                out.append(c.files);
        return out;
    }
    qint64 docs = 0, old = 0, deep = 0, other = 0, report = 0;
};

} // namespace

TEST_F(Changes, SearchesFromAFolderShareOneHistoryEntry) {
    auto folder = list(docs, "/Docs");
    auto first = search(folder.cloudFile, "r");
    ASSERT_EQ(first.kind, "RequestFileList");
    EXPECT_TRUE(first.cloudFile->isSearch());
    EXPECT_EQ(first.cloudFile->searchNid(), docs);
    EXPECT_EQ(first.cloudFile->path(), "/Docs");
    auto second = search(first.cloudFile, "REPORT");
    EXPECT_EQ(second.cloudFile->searchKey(), "REPORT");
    EXPECT_EQ(names(second.files), QStringList({"report-2019.txt", "Report.txt"}));
    EXPECT_EQ(second.files[0]->path(), "/Docs/Old/report-2019.txt");
    EXPECT_EQ(second.backForward, 2);

    // The whole tree (scope 0) finds the one outside the folder too; still one entry.
    auto scope = second.cloudFile->clone();
    scope->setSearchNid(0);
    auto whole = search(scope, "report");
    EXPECT_EQ(whole.files.size(), 3);
    EXPECT_TRUE(search(scope, "").files.isEmpty());
    EXPECT_EQ(search(scope, "报告").files.size(), 1);

    // Back returns to the folder; the search entry stays reachable by forward.
    auto back = list(KZFileListNavigationBack);
    EXPECT_FALSE(back.cloudFile->isSearch());
    EXPECT_EQ(back.cloudFile->nid(), docs);
    EXPECT_EQ(back.backForward, 3);
    auto forward = list(KZFileListNavigationForward);
    EXPECT_TRUE(forward.cloudFile->isSearch());
    EXPECT_EQ(forward.cloudFile->searchKey(), "报告");
    EXPECT_EQ(forward.files.size(), 1);
}

TEST_F(Changes, CreatedFolderIsReportedAsAChangeOfItsParentBeforeSuccess) {
    const qint64 id = proxy()->requestCreateDir("/Docs/新建文件夹", &recorder, {{"t", "mk"}});
    auto done = recorder.wait(id);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->kind, "RequestCreateDir");
    EXPECT_EQ(done->userInfo.value("t"), "mk");
    const auto changed = changesOf(docs);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0]->name(), "新建文件夹");
    EXPECT_EQ(changed[0]->path(), "/Docs/新建文件夹");
    EXPECT_TRUE(changed[0]->isDirectory() && !changed[0]->isDeleted());
    // The change was heard before the success answer.
    int changeAt = -1, doneAt = -1;
    for (int i = 0; i < recorder.answers.size(); ++i) {
        if (recorder.answers[i].kind == "IncrNodeChanged" && changeAt < 0)
            changeAt = i;
        if (recorder.answers[i].requestId == id)
            doneAt = i;
    }
    EXPECT_LT(changeAt, doneAt);
    EXPECT_TRUE(recorder.changes[0].onMainThread);
    // The listing has it at once.
    EXPECT_TRUE(names(list(docs, "/Docs").files).contains("新建文件夹"));

    auto dup = recorder.wait(proxy()->requestCreateDir("/Docs/新建文件夹", &recorder, {}));
    ASSERT_TRUE(dup);
    EXPECT_EQ(dup->kind, "RequestCreateDirFail");
    EXPECT_FALSE(dup->error.localizedDescription().isEmpty());
}

TEST_F(Changes, RenamesMovesAndDeletesReachObserversAndHistories) {
    list(docs, "/Docs");
    list(old, "/Docs/Old");
    list(deep, "/Docs/Old/Deep");
    list(other, "/Other");

    // Rename through the proxy: the history entry takes the new name.
    auto file = list(KZFileListNavigationBack).cloudFile; // Deep
    ASSERT_EQ(file->nid(), deep);
    list(KZFileListNavigationBack); // Old
    auto renamed = recorder.wait(
        proxy()->requestRenameFile(list(KZFileListNavigationReload).cloudFile, "Archive", &recorder, {}));
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->kind, "RequestRenameFile");
    auto heard = changesOf(docs);
    ASSERT_FALSE(heard.isEmpty());
    EXPECT_EQ(heard.last()->name(), "Archive");
    EXPECT_EQ(heard.last()->path(), "/Docs/Archive");
    EXPECT_EQ(list(KZFileListNavigationReload).cloudFile->path(), "/Docs/Archive");
    QString historyName;
    KZBackgroundThread::shared().runAndWait(
        [&] { historyName = proxy()->backForwordList()->curNode()->name(); });
    EXPECT_EQ(historyName, "Archive");

    // A move made elsewhere: gone from the old parent, new in the other one.
    ASSERT_TRUE(service().move(report, other).ok());
    auto answer = incr();
    EXPECT_EQ(answer.kind, "RequestGetIncrNode");
    EXPECT_EQ(answer.userInfo.value("n"), 1);
    ASSERT_FALSE(changesOf(docs).isEmpty());
    EXPECT_EQ(changesOf(docs).last()->nid(), report);
    EXPECT_TRUE(changesOf(docs).last()->isDeleted());
    ASSERT_FALSE(changesOf(other).isEmpty());
    EXPECT_EQ(changesOf(other).last()->nid(), report);
    EXPECT_FALSE(changesOf(other).last()->isDeleted());
    EXPECT_EQ(changesOf(other).last()->path(), "/Other/Report.txt");

    // Deleting the folder with the current entry below it: its entries go, the last one left
    // becomes current, and the folder is reported removed from its parent.
    auto del = recorder.wait(
        proxy()->requestDeleteFile({list(KZFileListNavigationReload).cloudFile}, &recorder, {}));
    ASSERT_TRUE(del);
    EXPECT_EQ(del->kind, "RequestDeleteFile");
    EXPECT_TRUE(changesOf(docs).last()->isDeleted());
    EXPECT_EQ(changesOf(docs).last()->nid(), old);
    auto now = list(KZFileListNavigationReload);
    EXPECT_EQ(now.cloudFile->nid(), docs);
    EXPECT_EQ(now.backForward, 2);
    QSet<qint64> nids;
    KZBackgroundThread::shared().runAndWait([&] { nids = proxy()->backForwordList()->allNids(); });
    EXPECT_EQ(nids, QSet<qint64>({0, docs}));
    EXPECT_EQ(list(deep, "/Docs/Archive/Deep").kind, "RequestFileListFail");

    // Nothing new: no change is reported.
    const int heardBefore = recorder.changes.size();
    incr();
    EXPECT_EQ(recorder.changes.size(), heardBefore);
}

TEST_F(Changes, EachObserverGetsItsOwnRecordsAndIsAddedOnce) {
    Recorder second;
    EXPECT_TRUE(proxy()->addSessionObserver(&second));
    EXPECT_FALSE(proxy()->addSessionObserver(&second));
    ASSERT_TRUE(service().rename(report, "Final.txt").ok());
    incr();
    ASSERT_EQ(second.changes.size(), 1);
    ASSERT_EQ(recorder.changes.size(), 1);
    EXPECT_NE(second.changes[0].files[0].get(), recorder.changes[0].files[0].get());
    EXPECT_TRUE(proxy()->removeSessionObserver(&second));
    EXPECT_FALSE(proxy()->removeSessionObserver(&second));
}

TEST_F(Changes, EachReportComesWithADigestOfItInTheStoredOrder) {
    SingletonT<SystemConfig>::instance().setCloudFileSort(1);
    Recorder second;
    ASSERT_TRUE(proxy()->addSessionObserver(&second));
    ASSERT_TRUE(service().rename(report, "Final.txt").ok());
    m_service.putFile("/Docs/a.txt", "a");
    m_service.putFile("/Docs/z.txt", "z");
    ASSERT_FALSE(service().remove({old}));
    incr();
    for (const Recorder* r : {&recorder, &second}) {
        const auto heardOf = [&](const Recorder* who) {
            const auto it = std::find_if(who->changes.cbegin(), who->changes.cend(),
                                         [&](const Answer& a) { return a.nid == docs; });
            return it == who->changes.cend() ? Answer{} : *it;
        };
        const Answer heard = heardOf(r);
        // Both observers read the one digest, made of the report before it was copied for them;
        // a copy of the list they got has none, nor has the list once delivered.
        ASSERT_TRUE(heard.digest);
        EXPECT_EQ(heard.digest, heardOf(&recorder).digest);
        EXPECT_FALSE(heard.digestOfCopy);
        EXPECT_FALSE(proxy()->digestOf(heard.files));
        EXPECT_EQ(heard.digest->sortMode(), 1);
        ASSERT_EQ(heard.digest->size(), heard.files.size());
        QStringList added;
        for (qsizetype i = 0; i < heard.digest->size(); ++i) {
            const nubo::ChangeDigest::Change& c = heard.digest->at(i);
            const CloudFileInfoPtr& f = heard.files.at(c.index);
            EXPECT_EQ(c.key.nid, f->nid());
            EXPECT_EQ(c.deleted, f->isDeleted());
        }
        for (qsizetype i : heard.digest->additions())
            added.append(heard.files.at(heard.digest->at(i).index)->name());
        EXPECT_EQ(added, (QStringList{"z.txt", "Final.txt", "a.txt"}));
    }
    EXPECT_TRUE(proxy()->removeSessionObserver(&second));
}

TEST_F(Changes, FailedChangeFetchIsReported) {
    service().failNext(ServiceOp::FetchChanges, 1, BWError::withMessage(BWError::kDomainNetwork, -1, {}));
    auto a = incr();
    EXPECT_EQ(a.kind, "RequestGetIncrNodeFail");
    EXPECT_EQ(a.error.localizedDescription(), "网络连接失败，请检查网络");
}

TEST_F(Changes, ThumbnailsAnswerUnlessCancelled) {
    const qint64 pic = m_service.putFile("/Docs/pic.png", nubo::test::png(300, 200, Qt::red)).nid;
    incr();

    const qint64 cancelled =
        proxy()->requestThumbDelegate(&recorder, "/Docs/pic.png", pic, 128, 128, {}, false);
    EXPECT_TRUE(proxy()->cancelThumbRequest(cancelled));
    EXPECT_FALSE(proxy()->cancelThumbRequest(cancelled));
    const qint64 big =
        proxy()->requestThumbDelegate(&recorder, "/Docs/pic.png", pic, 1280, 1280, {{"i", 2}}, true);
    const qint64 small =
        proxy()->requestThumbDelegate(&recorder, "/Docs/pic.png", pic, 128, 128, {{"i", 1}}, false);
    auto s = recorder.wait(small);
    auto b = recorder.wait(big);
    ASSERT_TRUE(s && b);
    ASSERT_EQ(s->kind, "RequestThumb");
    EXPECT_EQ(s->nid, pic);
    EXPECT_EQ(s->userInfo.value("i"), 1);
    const QImage thumb = QImage::fromData(s->thumb);
    EXPECT_LE(qMax(thumb.width(), thumb.height()), 128);
    EXPECT_EQ(QImage::fromData(b->thumb).width(), 300);
    for (const auto& a : recorder.answers)
        EXPECT_NE(a.requestId, cancelled);
    EXPECT_FALSE(proxy()->cancelThumbRequest(small)); // answered: no longer pending

    // A request whose delegate went away before the answer is no longer pending either.
    auto gone = std::make_unique<Recorder>();
    const qint64 orphan =
        proxy()->requestThumbDelegate(gone.get(), "/Docs/pic.png", pic, 128, 128, {}, false);
    gone.reset();
    ASSERT_TRUE(
        recorder.wait(proxy()->requestThumbDelegate(&recorder, "/Docs/pic.png", pic, 128, 128, {}, false)));
    EXPECT_FALSE(proxy()->cancelThumbRequest(orphan));

    auto notImage = recorder.wait(
        proxy()->requestThumbDelegate(&recorder, "/Docs/Report.txt", report, 128, 128, {}, false));
    ASSERT_TRUE(notImage);
    EXPECT_EQ(notImage->kind, "RequestThumbFail");
    EXPECT_EQ(notImage->nid, report);
}

TEST_F(Changes, ShareLinksCancelInOrderAndStopAtTheFirstFailure) {
    const QVariantMap byPath{{"type", "ShareTypePath"}};
    QList<ShareInfoPtr> shares;
    for (const char* path : {"/Docs/Report.txt", "/Other/月度报告.pdf", "/Docs/Old/report-2019.txt"}) {
        auto node = service().nodeByPath(QString::fromUtf8(path));
        ASSERT_TRUE(node.ok());
        auto f = CloudFileInfo::create();
        f->setNid(node.value.nid);
        f->setPath(QString::fromUtf8(path));
        auto made = recorder.wait(proxy()->requestShareFiles(QList<CloudFileInfoPtr>{f}, &recorder, byPath));
        ASSERT_TRUE(made);
        ASSERT_EQ(made->kind, "RequestShareFiles");
        EXPECT_FALSE(made->share->shorturl().isEmpty());
        shares << made->share;
    }
    auto lookedUp = recorder.wait(
        proxy()->requestShareFiles(QList<ShareInfoPtr>{shares[0]}, &recorder, {{"type", "ShareTypeSid"}}));
    ASSERT_TRUE(lookedUp);
    EXPECT_EQ(lookedUp->share->shorturl(), shares[0]->shorturl());
    EXPECT_NE(lookedUp->share.get(), shares[0].get());

    auto bogus = std::make_shared<ShareInfo>();
    bogus->setShorturl("no-such-link");
    auto run = recorder.wait(proxy()->requestCancelShare(QList<ShareInfoPtr>{shares[0], bogus, shares[2]},
                                                         &recorder, {{"type", "ShareCancelTypeShortUrl"}}));
    ASSERT_TRUE(run);
    EXPECT_EQ(run->kind, "RequestCancelShareFail");
    auto first = service().share(shares[0]->sid());
    auto third = service().share(shares[2]->sid());
    ASSERT_TRUE(first.ok() && third.ok());
    EXPECT_NE(first.value.value("status"), third.value.value("status")); // only the first was cancelled

    auto gone = recorder.wait(proxy()->requestCancelShare(QList<ShareInfoPtr>{shares[2]}, &recorder,
                                                          {{"type", "ShareDeleteTypeShortUrl"}}));
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->kind, "RequestCancelShare");
    EXPECT_FALSE(service().share(shares[2]->sid()).ok());

    auto pwd = recorder.wait(proxy()->requestSetPwd("ab12", shares[1]->shorturl(), &recorder, {}));
    ASSERT_TRUE(pwd);
    EXPECT_EQ(pwd->pwd, "ab12");
    auto expire = recorder.wait(proxy()->requestShareSetExpire("7", shares[1]->shorturl(), &recorder, {}));
    ASSERT_TRUE(expire);
    ASSERT_EQ(expire->kind, "RequestShareSetExpire");
    EXPECT_EQ(expire->expire->expireId(), "7");
    EXPECT_GT(expire->expire->expire().toLongLong(), 0);

    auto listed = recorder.wait(proxy()->requestShareGetList(&recorder, {{"page", 1}}));
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->shareList.size(), 2);
    EXPECT_EQ(listed->userInfo.value("page"), 1);

    auto wrongType =
        recorder.wait(proxy()->requestCancelShare(QList<ShareInfoPtr>{shares[1]}, &recorder, {}));
    ASSERT_TRUE(wrongType);
    EXPECT_EQ(wrongType->kind, "RequestCancelShareFail");
}

TEST_F(Changes, ShareListJoinsFullPagesAndDropsThemOnFailure) {
    const auto file = service().nodeByPath("/Docs/Report.txt");
    ASSERT_TRUE(file.ok());
    for (int i = 0; i < 1001; ++i)
        ASSERT_TRUE(service().createShare({file.value.nid}).ok());
    auto all = recorder.wait(proxy()->requestShareGetList(&recorder, {}));
    ASSERT_TRUE(all);
    EXPECT_EQ(all->shareList.size(), 1001);
    // A failing page fails the whole list, with the service's text.
    service().failNext(ServiceOp::ListShares, 1, BWError::withMessage(BWError::kDomainCloud, 1, "busy"));
    auto failed = recorder.wait(proxy()->requestShareGetList(&recorder, {}));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->kind, "RequestShareGetListFail");
    EXPECT_EQ(failed->error.localizedDescription(), "busy");
    EXPECT_TRUE(failed->shareList.isEmpty());
}

TEST_F(Changes, LoginJumpOpensTheSignedAddress) {
    QUrl opened;
    proxy()->setUrlOpener([&](const QUrl& url) {
        opened = url;
        return true;
    });
    auto ok =
        recorder.wait(proxy()->loginJumpDelegate(&recorder, "https://example.invalid/s/abc", {{"j", 1}}));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->kind, "LoginJump");
    EXPECT_TRUE(opened.isValid());
    proxy()->setUrlOpener([](const QUrl&) { return false; });
    auto fail = recorder.wait(proxy()->loginJumpDelegate(&recorder, "k", {}));
    ASSERT_TRUE(fail);
    EXPECT_EQ(fail->kind, "LoginJumpFail");
    // With no opener handed in, the cloud layer opens nothing by itself.
    proxy()->setUrlOpener({});
    auto none = recorder.wait(proxy()->loginJumpDelegate(&recorder, "k", {}));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->kind, "LoginJumpFail");
    proxy()->setUrlOpener([](const QUrl&) { return true; });
}

TEST_F(Changes, LoginJumpOpensThePageWithNoDelegateOrAGoneOne) {
    QStringList keys;
    proxy()->setUrlOpener([&](const QUrl& url) {
        keys << QUrlQuery(url).queryItemValue(QStringLiteral("key"));
        return true;
    });
    proxy()->loginJumpDelegate(nullptr, "payment", {{"nid", 1}, {"path", "/Docs"}});
    {
        Recorder gone;
        proxy()->loginJumpDelegate(&gone, "file_history", {});
    }
    EXPECT_TRUE(waitUntil([&] { return keys.size() == 2; }));
    EXPECT_EQ(keys, (QStringList{"payment", "file_history"}));
    proxy()->setUrlOpener([](const QUrl&) { return true; });
}

TEST_F(Changes, TransportCountsArePostedAsTheNotificationObject) {
    QObject receiver;
    QVariantMap seen;
    NotificationCenter::defaultCenter().addObserver(&receiver, KZSession::kNotificationTransportJobCount,
                                                    [&](const Notification& n) { seen = n.object.toMap(); });
    KZSession::sharedSession().setTransportCountProvider([] {
        return QVariantMap{{"KEY_UPLOAD_COUNT", 2}, {"KEY_DOWNLOAD_COUNT", 1}, {"KEY_FINISHED_COUNT", 5}};
    });
    KZBackgroundThread::shared().runAndWait(
        [] { KZSession::sharedSession().postNotificationForTransportCount(); });
    EXPECT_EQ(seen.value("KEY_UPLOAD_COUNT").toInt(), 2);
    EXPECT_EQ(seen.value("KEY_DOWNLOAD_COUNT").toInt(), 1);
    EXPECT_EQ(seen.value("KEY_FINISHED_COUNT").toInt(), 5);
    KZSession::sharedSession().setTransportCountProvider({});
    NotificationCenter::defaultCenter().removeObserver(&receiver);
}

TEST_F(Changes, SigningInAgainReadsTheDatabaseAndOnlyTheChanges) {
    ASSERT_TRUE(signOut());
    EXPECT_TRUE(proxy()->userDetail().isEmpty());
    EXPECT_EQ(list(docs, "/Docs").kind, "RequestFileListFail"); // signed out: nothing to list

    ASSERT_TRUE(service().rename(docs, "Papers").ok());
    // A full fetch now would fail: the second sign-in must not need one.
    service().failNext(ServiceOp::FetchAll, 5, BWError::withMessage(BWError::kDomainNetwork, -1, {}));
    login();
    service().clearFaults();
    auto root = list(0, "/");
    EXPECT_EQ(names(root.files), QStringList({"Other", "Papers"}));
    EXPECT_EQ(names(list(docs, "/Papers").files), QStringList({"Old", "Report.txt"}));
    EXPECT_EQ(root.backForward, 0); // a fresh history

    // A sign-in that fails leaves the session signed out, and says why.
    proxy()->logoutLocal();
    service().failNext(ServiceOp::Account, 1, BWError::withMessage(BWError::kDomainCloud, 7, "账号不可用"));
    const std::optional<BWError> error = signInAnswer();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->localizedDescription(), "账号不可用");
    EXPECT_EQ(list(0, "/").kind, "RequestFileListFail");
}

TEST_F(Changes, AFirstFetchThatFailsIsDoneAgainInFullAtTheNextSignIn) {
    ASSERT_TRUE(signOut());
    // Without its database the next sign-in is a first one.
    for (const QString& f : QDir(m_data.path()).entryList({"*_*.db*"}, QDir::Files))
        ASSERT_TRUE(QFile::remove(m_data.filePath(f)));
    ASSERT_TRUE(service().rename(docs, "Papers").ok());

    service().failNext(ServiceOp::FetchAll, 1, BWError::withMessage(BWError::kDomainNetwork, -1, {}));
    const std::optional<BWError> error = signInAnswer();
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->isNull());
    EXPECT_EQ(list(0, "/").kind, "RequestFileListFail");

    login(); // the load never finished: no cursor, so everything is fetched again
    EXPECT_EQ(names(list(0, "/").files), QStringList({"Other", "Papers"}));
    EXPECT_EQ(names(list(docs, "/Papers").files), QStringList({"Old", "Report.txt"}));
}

TEST_F(Changes, AStoredTreeInADamagedFileIsDroppedAndFetchedAgain) {
    ASSERT_TRUE(signOut());
    const QStringList files = QDir(m_data.path()).entryList({"*_*.db"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const QString dbPath = m_data.filePath(files[0]);
    // The index breaks, the rows stay readable: only the check can tell.
    damageRootPage(dbPath, QStringLiteral("cloud_file_pid"));
    ASSERT_TRUE(service().rename(docs, "Papers").ok());

    login();
    EXPECT_EQ(names(list(0, "/").files), QStringList({"Other", "Papers"}));
    EXPECT_EQ(names(list(docs, "/Papers").files), QStringList({"Old", "Report.txt"}));
    EXPECT_TRUE(QFile::exists(dbPath + QStringLiteral(".corrupt")));
    const QList<DatabaseRescue> told = takeDatabaseRescues();
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0].refetched, QStringList({"cloud_file", "cloud_file_cursor"}));
}

TEST_F(Changes, AnEmptiedStoredTreeIsToldAndFetchedAgain) {
    ASSERT_TRUE(signOut());
    takeDatabaseRescues();
    const QStringList files = QDir(m_data.path()).entryList({"*_*.db"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const QString dbPath = m_data.filePath(files[0]);
    ASSERT_TRUE(QFile(dbPath).resize(0));

    login();
    EXPECT_EQ(names(list(0, "/").files), QStringList({"Docs", "Other"}));
    const QList<DatabaseRescue> told = takeDatabaseRescues();
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0].file, dbPath);
    EXPECT_TRUE(told[0].unreadable);
}

// The service was reset or replaced (its change log ends before this copy's cursor): what it no
// longer has must not stay listed, and the pages reload.
TEST_F(Changes, AServiceBehindTheStoredTreeIsFetchedAgainWhole) {
    ASSERT_TRUE(signOut());
    ServiceFixture reset;
    reset.mkdir("/Fresh");
    reset.putFile("/Fresh/new.txt", "n");
    reset.installAsShared();
    recorder.changes.clear();

    login();
    EXPECT_EQ(names(list(0, "/").files), QStringList({"Fresh"}));
    EXPECT_EQ(list(deep, "/Docs/Old/Deep").kind, "RequestFileListFail");
    const qint64 fresh = reset.service().nodeByPath("/Fresh").value.nid;
    EXPECT_EQ(names(list(fresh, "/Fresh").files), QStringList({"new.txt"}));
    ASSERT_TRUE(waitUntil([&] { return !recorder.changes.isEmpty(); }));
    EXPECT_TRUE(recorder.changes.last().needReset);

    // The copy now follows the new service: its next change arrives as a change.
    reset.mkdir("/Fresh/Later");
    incr();
    EXPECT_EQ(names(changesOf(fresh)), QStringList({"Later"}));
    ASSERT_TRUE(signOut()); // before the service it holds goes with its folder
}
