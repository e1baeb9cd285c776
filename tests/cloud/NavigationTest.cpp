#include "SessionFixture.h"
#include "foundation/SingletonT.h"

using namespace nubo;
using namespace nubo::test;

namespace {

class Navigation : public SessionTest {
protected:
    void seed() override {
        a = m_service.mkdir("/A").nid;
        b = m_service.mkdir("/B").nid;
        c = m_service.mkdir("/C").nid;
        sub = m_service.mkdir("/A/sub").nid;
        m_service.putFile("/A/notes.txt", "hello");
    }
    qint64 a = 0, b = 0, c = 0, sub = 0;
};

} // namespace

TEST_F(Navigation, OpenBackAndOpenAgainDropsForwardEntries) {
    const QVariantMap info{{"restoreOffset", 1}, {"marker", "x"}};
    auto fresh = list(-4);
    EXPECT_EQ(fresh.kind, "RequestFileList");
    EXPECT_TRUE(fresh.cloudFile->isRootFile());
    EXPECT_EQ(fresh.backForward, 0);

    auto openA = list(a, "/A", 0, info);
    EXPECT_EQ(openA.cloudFile->nid(), a);
    EXPECT_EQ(openA.cloudFile->path(), "/A");
    EXPECT_EQ(openA.backForward, 2);
    EXPECT_EQ(openA.userInfo, info);
    EXPECT_TRUE(openA.onMainThread);
    EXPECT_EQ(names(openA.files), QStringList({"sub", "notes.txt"}));
    EXPECT_EQ(openA.files[0]->path(), "/A/sub");

    list(b, "/B");
    auto back = list(KZFileListNavigationBack, "/B");
    EXPECT_EQ(back.cloudFile->nid(), a);
    EXPECT_EQ(back.backForward, 3);
    auto openC = list(c, "/C");
    EXPECT_EQ(openC.backForward, 2);
    auto forward = list(KZFileListNavigationForward, "/C");
    EXPECT_EQ(forward.cloudFile->nid(), c); // forward at the last entry lists it again
    EXPECT_EQ(forward.backForward, 2);

    // Re-opening the current folder adds nothing; back goes A, then root, then stays.
    list(c, "/C");
    EXPECT_EQ(list(KZFileListNavigationBack).cloudFile->nid(), a);
    auto root = list(KZFileListNavigationBack);
    EXPECT_TRUE(root.cloudFile->isRootFile());
    EXPECT_EQ(root.backForward, 1);
    EXPECT_TRUE(list(KZFileListNavigationBack).cloudFile->isRootFile());
}

TEST_F(Navigation, RootAndReloadLeaveTheHistoryAlone) {
    list(a, "/A");
    list(sub, "/A/sub");
    auto root = list(0, "/");
    EXPECT_TRUE(root.cloudFile->isRootFile());
    EXPECT_EQ(root.backForward, 2); // the flags of the current entry, which did not move
    EXPECT_EQ(names(root.files), QStringList({"A", "B", "C"}));
    EXPECT_EQ(list(-57).cloudFile->nid(), 0); // below -4 reads as the root as well
    auto reload = list(KZFileListNavigationReload);
    EXPECT_EQ(reload.cloudFile->nid(), sub);
    EXPECT_EQ(reload.cloudFile->path(), "/A/sub");
}

TEST_F(Navigation, JumpsResolveByPathAndFailClearly) {
    auto jump = list(KZFileListNavigationJump, "/A/sub", 0, {{"expectFilePath", "/A/sub/x"}});
    ASSERT_EQ(jump.kind, "RequestFileList");
    EXPECT_EQ(jump.cloudFile->nid(), sub);
    EXPECT_EQ(jump.userInfo.value("expectFilePath"), "/A/sub/x");
    EXPECT_EQ(jump.backForward, 2);

    for (const QString& path : {QString("/nope"), QString("/A/notes.txt"), QString("relative"), QString()}) {
        auto fail = list(KZFileListNavigationJump, path, 0, {{"k", 1}});
        ASSERT_EQ(fail.kind, "RequestFileListFail") << path.toStdString();
        EXPECT_EQ(fail.error.domain(), "KZApplication");
        EXPECT_EQ(fail.error.code(), -100);
        EXPECT_EQ(fail.error.localizedDescription(), "读取文件失败，请重试");
        EXPECT_EQ(fail.userInfo.value("k"), 1);
    }
    // A failed jump or open leaves the history where it was.
    EXPECT_EQ(list(999999, "/gone").kind, "RequestFileListFail");
    EXPECT_EQ(list(KZFileListNavigationReload).cloudFile->nid(), sub);
}

TEST_F(Navigation, SortIsAppliedAndRemembered) {
    m_service.mkdir("/A/a10");
    m_service.mkdir("/A/b");
    m_service.putFile("/A/a2", "x");
    m_service.putFile("/A/a1", "y");
    auto incr = proxy()->requestIncrNodeDelegate(&recorder, false, {});
    ASSERT_TRUE(recorder.wait(incr));

    auto asc = list(a, "/A", 0);
    EXPECT_EQ(names(asc.files), QStringList({"a10", "b", "sub", "a1", "a2", "notes.txt"}));
    EXPECT_EQ(SingletonT<SystemConfig>::instance().getCloudFileSort(), 0);
    auto desc = list(KZFileListNavigationReload, {}, 1);
    EXPECT_EQ(names(desc.files), QStringList({"sub", "b", "a10", "notes.txt", "a2", "a1"}));
    EXPECT_EQ(SingletonT<SystemConfig>::instance().getCloudFileSort(), 1);
}

TEST_F(Navigation, PickerListsFoldersWithItsOwnHistory) {
    auto id = proxy()->getFolderListByNid(a, "/A", 0, &recorder, {});
    auto picked = recorder.wait(id);
    ASSERT_TRUE(picked);
    EXPECT_EQ(names(picked->files), QStringList({"sub"}));
    EXPECT_EQ(picked->backForward, 2);
    // The browser's history did not move.
    EXPECT_EQ(list(KZFileListNavigationReload).cloudFile->nid(), 0);

    // -999 answers nothing; the picker's history stays.
    const qint64 forget = proxy()->getFolderListByNid(KZFileListNavigationForgetPicker, {}, 2, &recorder, {});
    auto after = proxy()->getFolderListByNid(KZFileListNavigationReload, {}, 2, &recorder, {});
    auto reload = recorder.wait(after);
    ASSERT_TRUE(reload);
    EXPECT_EQ(reload->cloudFile->nid(), a);
    for (const auto& answer : recorder.answers)
        EXPECT_NE(answer.requestId, forget);
    EXPECT_EQ(SingletonT<SystemConfig>::instance().getCloudFileSort(), 2);
}

TEST_F(Navigation, ReleasedDelegateGetsNothing) {
    auto* gone = new Recorder();
    QPointer<Recorder> watch(gone);
    proxy()->getFileListByNid(a, "/A", 0, gone, {});
    proxy()->requestIncrNodeDelegate(gone, false, {});
    delete gone;
    // Later requests still answer, and in order: the released one was skipped, not lost.
    auto alive = list(KZFileListNavigationReload);
    EXPECT_EQ(alive.kind, "RequestFileList");
    EXPECT_TRUE(watch.isNull());
}
