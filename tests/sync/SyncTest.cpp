#include "support/TransferFixture.h"

#include "sync/CloudFileSyncMgr.h"
#include "sync/LocalFileSyncMgr.h"
#include "transfer/TransferErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace nubo;
using namespace nubo::test;
using namespace nubo::transfer;

namespace {

QStringList childNames(EmbeddedCloudService& s, const QString& path) {
    QStringList names;
    auto node = s.nodeByPath(path);
    if (!node.ok())
        return names;
    for (const ServiceNode& c : s.children(node.value.nid).value)
        names << c.name;
    names.sort();
    return names;
}

QByteArray cloudContent(ServiceFixture& svc, const QString& path) {
    auto node = svc.service().nodeByPath(path);
    return node.ok() ? svc.readAll(node.value.nid) : QByteArray("<missing>");
}

} // namespace

TEST_F(TransferTest, UploadsATreeAndAnEmptyTree) {
    writeLocal(QStringLiteral("tree/a.txt"), "A");
    writeLocal(QStringLiteral("tree/sub/b.txt"), "B");
    QDir().mkpath(local.path() + QStringLiteral("/tree/empty"));
    QDir().mkpath(local.path() + QStringLiteral("/bare/inner"));
    // A link to a file goes up as the file it points to, under the link's name.
    ASSERT_TRUE(QFile::link(writeLocal(QStringLiteral("elsewhere/target.txt"), "T"),
                            local.path() + QStringLiteral("/tree/link.txt")));
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/tree"), CloudFileInfo::rootFile());
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/bare"), CloudFileInfo::rootFile());
    ASSERT_TRUE(waitCloudIdle());
    ASSERT_TRUE(waitUntil([&] { return rec.uploadFinishedList.size() == 3; }));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/tree/a.txt")), QByteArray("A"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/tree/sub/b.txt")), QByteArray("B"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/tree/link.txt")), QByteArray("T"));
    EXPECT_TRUE(svc.service().nodeByPath(QStringLiteral("/tree/empty")).value.isDir);
    EXPECT_TRUE(svc.service().nodeByPath(QStringLiteral("/bare/inner")).value.isDir);

    QList<TransferRecorder::Sync> successes;
    int completions = 0;
    for (const auto& s : rec.cloudSync) {
        if (s.kind == QLatin1String("success"))
            successes << s;
        completions += s.kind == QLatin1String("completion");
        EXPECT_EQ(s.type, KZCloudFileSyncTypeUpload);
    }
    ASSERT_EQ(successes.size(), 2);
    EXPECT_EQ(successes[0].files, 3u); // three files and three folders
    EXPECT_EQ(successes[0].ctrl, 6u);
    EXPECT_EQ(successes[1].files, 0u); // the empty tree still made its folders
    EXPECT_EQ(successes[1].ctrl, 2u);
    EXPECT_GE(completions, 1);
    EXPECT_EQ(rec.cloudSync.last().kind, QStringLiteral("completion"));
}

TEST_F(TransferTest, UploadConflictsAskAndRememberAllAnswers) {
    svc.putFile(QStringLiteral("/t/a.txt"), "old a");
    svc.putFile(QStringLiteral("/t/b.txt"), "old b");
    svc.putFile(QStringLiteral("/t/sub/c.txt"), "old c");
    svc.putFile(QStringLiteral("/t/sub2/d.txt"), "old d");
    writeLocal(QStringLiteral("t/a.txt"), "new a");
    writeLocal(QStringLiteral("t/b.txt"), "new b");
    writeLocal(QStringLiteral("t/new.txt"), "new");
    writeLocal(QStringLiteral("t/sub/c.txt"), "new c");
    writeLocal(QStringLiteral("t/sub2/d.txt"), "new d");
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/t"), CloudFileInfo::rootFile());

    // The folder meets a folder: merge.
    auto f = waitCloudFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.code(), -121);
    EXPECT_EQ(f->error.domain(), BWError::kDomainApplication);
    EXPECT_EQ(f->error.localizedDescription(), QStringLiteral("/t"));
    up->mergeCurrentOperation(f->name);
    // A file meets a file: replace this one only.
    f = waitCloudFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.code(), -122);
    EXPECT_EQ(f->error.localizedDescription(), QStringLiteral("/t/a.txt"));
    up->coverCurrentOperation(f->name);
    // The next file asks again; skip it and every later file conflict.
    f = waitCloudFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.localizedDescription(), QStringLiteral("/t/b.txt"));
    up->skipAllCoverOperation(f->name);
    // A sub-folder asks (folder answers are their own kind): merge all.
    f = waitCloudFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.code(), -121);
    EXPECT_EQ(f->error.localizedDescription(), QStringLiteral("/t/sub"));
    up->mergeAllOperation(f->name);
    // /t/sub/c.txt and /t/sub2 with its file are settled without asking.
    ASSERT_TRUE(waitCloudIdle());
    EXPECT_FALSE(waitCloudFail(100));
    ASSERT_TRUE(waitUploadsSettled());
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/t/a.txt")), QByteArray("new a"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/t/b.txt")), QByteArray("old b"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/t/new.txt")), QByteArray("new"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/t/sub/c.txt")), QByteArray("old c"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/t/sub2/d.txt")), QByteArray("old d"));

    // Skipping a folder leaves it out entirely.
    writeLocal(QStringLiteral("t/sub/e.txt"), "e");
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/t"), CloudFileInfo::rootFile());
    f = waitCloudFail();
    ASSERT_TRUE(f);
    up->skipCurrentMergeOperation(f->name);
    ASSERT_TRUE(waitCloudIdle());
    EXPECT_FALSE(svc.service().nodeByPath(QStringLiteral("/t/sub/e.txt")).ok());
}

TEST_F(TransferTest, AQueuedDuplicateIsDropped) {
    svc.putFile(QStringLiteral("/q/x.txt"), "x");
    writeLocal(QStringLiteral("q/x.txt"), "x2");
    writeLocal(QStringLiteral("other.txt"), "o");
    const auto root = CloudFileInfo::rootFile();
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/q"), root); // waits on its conflict
    auto f = waitCloudFail();
    ASSERT_TRUE(f);
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/other.txt"), root);
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/other.txt"), root);
    ASSERT_TRUE(waitUntil([] { return CloudFileSyncMgr::shared().operationCount() == 2; }));
    drainEvents();
    EXPECT_EQ(CloudFileSyncMgr::shared().operationCount(), 2);
    up->skipAllMergeOperation(f->name);
    ASSERT_TRUE(waitCloudIdle());
    int successes = 0;
    for (const auto& s : rec.cloudSync)
        successes += s.kind == QLatin1String("success");
    EXPECT_EQ(successes, 2);
}

TEST_F(TransferTest, MovesAskPerNodeAndNeverMergeFolders) {
    const ServiceNode a = svc.putFile(QStringLiteral("/src/a.txt"), "moved a");
    const ServiceNode b = svc.putFile(QStringLiteral("/src/b.txt"), "moved b");
    const ServiceNode c = svc.putFile(QStringLiteral("/src/c.txt"), "moved c");
    const ServiceNode dir = svc.putFile(QStringLiteral("/src/dir/inner.txt"), "i");
    svc.putFile(QStringLiteral("/dst/a.txt"), "old a");
    svc.putFile(QStringLiteral("/dst/b.txt"), "old b");
    svc.putFile(QStringLiteral("/dst/dir/other.txt"), "o");
    const auto dst = cloudFolder(QStringLiteral("/dst"));
    auto dirNode = svc.service().nodeByPath(QStringLiteral("/src/dir")).value;
    up->moveWithSrcCloudFile({cloudNode(a), cloudNode(b), cloudNode(c), cloudNode(dirNode)}, dst);

    auto f = waitCloudFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.code(), -122);
    EXPECT_EQ(f->type, KZCloudFileSyncTypeMove);
    // "All" covers every node moved in this request: b.txt is replaced without asking, while
    // the folder's conflict is of another kind and still asks.
    up->coverAllOperation(f->name);
    f = waitCloudFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.code(), -125);
    EXPECT_EQ(f->error.localizedDescription(), QStringLiteral("/dst/dir"));
    up->skipCurrentMergeOperation(f->name);
    ASSERT_TRUE(waitCloudIdle());

    EXPECT_EQ(cloudContent(svc, QStringLiteral("/dst/a.txt")), QByteArray("moved a"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/dst/b.txt")), QByteArray("moved b"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/dst/c.txt")), QByteArray("moved c"));
    EXPECT_EQ(childNames(svc.service(), QStringLiteral("/src")), QStringList{"dir"});
    EXPECT_EQ(childNames(svc.service(), QStringLiteral("/dst/dir")), QStringList{"other.txt"});
    (void)dir;
    EXPECT_EQ(rec.cloudSync.last().kind, QStringLiteral("completion"));
    EXPECT_EQ(rec.cloudSync.last().type, KZCloudFileSyncTypeMove);
}

TEST_F(TransferTest, CopiesKeepBothReplaceAndSkip) {
    const ServiceNode a = svc.putFile(QStringLiteral("/c/a.txt"), "a");
    const auto folder = cloudFolder(QStringLiteral("/c"));
    // A copy into its own folder meets itself: keep both makes "a(1).txt", then "a(2).txt".
    up->copyWithSrcCloudFile({cloudNode(a)}, folder);
    auto f = waitCloudFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.code(), -122);
    EXPECT_EQ(f->type, KZCloudFileSyncTypeCopy);
    up->keepCurrentOperation(f->name);
    ASSERT_TRUE(waitCloudIdle());
    up->copyWithSrcCloudFile({cloudNode(a)}, folder);
    f = waitCloudFail();
    ASSERT_TRUE(f);
    up->keepAllOperation(f->name);
    ASSERT_TRUE(waitCloudIdle());
    EXPECT_EQ(childNames(svc.service(), QStringLiteral("/c")),
              (QStringList{"a(1).txt", "a(2).txt", "a.txt"}));
    // Replacing a node by itself changes nothing (and loses nothing).
    up->copyWithSrcCloudFile({cloudNode(a)}, folder);
    f = waitCloudFail();
    ASSERT_TRUE(f);
    up->coverCurrentOperation(f->name);
    ASSERT_TRUE(waitCloudIdle());
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/c/a.txt")), QByteArray("a"));

    // A folder copied over a folder that holds the source: replaced, the source's copy in place.
    svc.putFile(QStringLiteral("/p/x/x/f.txt"), "deep");
    const ServiceNode inner = svc.service().nodeByPath(QStringLiteral("/p/x/x")).value;
    up->copyWithSrcCloudFile({cloudNode(inner)}, cloudFolder(QStringLiteral("/p")));
    f = waitCloudFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.localizedDescription(), QStringLiteral("/p/x"));
    up->coverCurrentOperation(f->name);
    ASSERT_TRUE(waitCloudIdle());
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/p/x/f.txt")), QByteArray("deep"));
    EXPECT_EQ(childNames(svc.service(), QStringLiteral("/p")), QStringList{"x"});
    EXPECT_EQ(rec.cloudSync.last().kind, QStringLiteral("completion"));
    EXPECT_EQ(rec.cloudSync.last().type, KZCloudFileSyncTypeCopy);
}

// Items chosen together form one request: one answer with "apply to all" settles the rest, for
// copies, uploads and downloads alike, and a later request asks again.
TEST_F(TransferTest, AnAnswerForAllCoversEveryItemChosenTogether) {
    QList<CloudFileInfoPtr> picked;
    QStringList paths;
    for (const char* n : {"a.bin", "b.bin", "c.bin"}) {
        const QString name = QString::fromLatin1(n);
        picked << cloudNode(svc.putFile(QStringLiteral("/m/") + name, n));
        paths << writeLocal(QStringLiteral("up/") + name, "local");
    }
    const auto m = cloudFolder(QStringLiteral("/m"));
    auto onlyQuestion = [&](auto waitFail, auto answerAll, auto waitIdle) {
        auto f = waitFail(5000);
        ASSERT_TRUE(f);
        answerAll(f->name);
        ASSERT_TRUE(waitIdle());
        EXPECT_FALSE(waitFail(100));
    };
    up->copyWithSrcCloudFile(picked, m);
    onlyQuestion([&](int ms) { return waitCloudFail(ms); },
                 [&](const QString& n) { up->keepAllOperation(n); }, [&] { return waitCloudIdle(); });
    EXPECT_EQ(childNames(svc.service(), QStringLiteral("/m")),
              (QStringList{"a(1).bin", "a.bin", "b(1).bin", "b.bin", "c(1).bin", "c.bin"}));

    up->uploadFilesByDiskFiles(paths, m);
    onlyQuestion([&](int ms) { return waitCloudFail(ms); },
                 [&](const QString& n) { up->skipAllCoverOperation(n); }, [&] { return waitCloudIdle(); });
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/m/c.bin")), QByteArray("c.bin"));

    const QString into = local.path() + QStringLiteral("/up");
    down->downloadFilesByCloudFiles(picked, into);
    onlyQuestion([&](int ms) { return waitLocalFail(ms); },
                 [&](const QString& n) { down->coverAllOperation(n); }, [&] { return waitLocalIdle(); });
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(readLocal(into + QStringLiteral("/c.bin")), QByteArray("c.bin"));

    // The answer belonged to that request only.
    up->copyWithSrcCloudFile(picked.mid(0, 1), m);
    auto f = waitCloudFail();
    ASSERT_TRUE(f);
    up->skipCurrentCoverOperation(f->name);
    ASSERT_TRUE(waitCloudIdle());
}

TEST_F(TransferTest, DownloadsATreeAndAsksAboutLocalItems) {
    svc.putFile(QStringLiteral("/dt/a.txt"), "cloud a");
    svc.putFile(QStringLiteral("/dt/b.txt"), "cloud b");
    svc.putFile(QStringLiteral("/dt/sub/c.txt"), "cloud c");
    svc.mkdir(QStringLiteral("/dt/empty"));
    const auto dt = cloudNode(svc.service().nodeByPath(QStringLiteral("/dt")).value);
    const QString root = local.path();
    down->downloadFileByCloudFile(dt, root);
    ASSERT_TRUE(waitLocalIdle());
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(readLocal(root + QStringLiteral("/dt/a.txt")), QByteArray("cloud a"));
    EXPECT_EQ(readLocal(root + QStringLiteral("/dt/sub/c.txt")), QByteArray("cloud c"));
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/dt/empty")).isDir());
    ASSERT_FALSE(rec.localSync.isEmpty());
    EXPECT_EQ(rec.localSync.last().kind, QStringLiteral("state"));
    bool sawSuccess = false;
    for (const auto& s : rec.localSync)
        if (s.kind == QLatin1String("success")) {
            sawSuccess = true;
            EXPECT_EQ(s.files, 3u);
        }
    EXPECT_TRUE(sawSuccess);

    // Again, with local changes: the folder asks (merge), each file asks (replace one, skip rest).
    writeLocal(QStringLiteral("dt/a.txt"), "local a");
    writeLocal(QStringLiteral("dt/b.txt"), "local b");
    writeLocal(QStringLiteral("dt/sub/c.txt"), "local c");
    down->downloadFileByCloudFile(dt, root);
    auto f = waitLocalFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.code(), -123);
    EXPECT_EQ(f->error.localizedDescription(), root + QStringLiteral("/dt"));
    down->mergeAllOperation(f->name);
    f = waitLocalFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.code(), -124);
    EXPECT_EQ(f->error.localizedDescription(), root + QStringLiteral("/dt/a.txt"));
    down->coverCurrentOperation(f->name);
    f = waitLocalFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.localizedDescription(), root + QStringLiteral("/dt/b.txt"));
    down->skipAllCoverOperation(f->name);
    ASSERT_TRUE(waitLocalIdle());
    EXPECT_FALSE(waitLocalFail(100)); // sub merged, c.txt skipped, without asking
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(readLocal(root + QStringLiteral("/dt/a.txt")), QByteArray("cloud a"));
    EXPECT_EQ(readLocal(root + QStringLiteral("/dt/b.txt")), QByteArray("local b"));
    EXPECT_EQ(readLocal(root + QStringLiteral("/dt/sub/c.txt")), QByteArray("local c"));

    // Skipping the folder downloads nothing.
    QFile::remove(root + QStringLiteral("/dt/b.txt"));
    down->downloadFileByCloudFile(dt, root);
    f = waitLocalFail();
    ASSERT_TRUE(f);
    down->skipCurrentMergeOperation(f->name);
    ASSERT_TRUE(waitLocalIdle());
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/dt/b.txt")));
}

TEST_F(TransferTest, ALocalNameWithAControlCharacterFailsOnlyThatFileAndSaysWhich) {
    writeLocal(QStringLiteral("tree/ok.txt"), "A");
    writeLocal(QStringLiteral("tree/bad\nname.txt"), "B");
    writeLocal(QStringLiteral("tree/sub/c.txt"), "C");
    writeLocal(QStringLiteral("tree/bad\x1b"
                              "dir/d.txt"),
               "D");
    writeLocal(QStringLiteral("tree/z.txt"), "Z");
    writeLocal(QStringLiteral("tab\there.txt"), "T");
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/tree"), CloudFileInfo::rootFile());
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/tab\there.txt"), CloudFileInfo::rootFile());
    ASSERT_TRUE(waitCloudIdle());
    ASSERT_TRUE(waitUploadsSettled());
    // The files go through, the names that cannot be cloud names fail, each saying which.
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/tree/ok.txt")), QByteArray("A"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/tree/z.txt")), QByteArray("Z"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/tree/sub/c.txt")), QByteArray("C"));
    EXPECT_EQ(childNames(svc.service(), QStringLiteral("/tree")), (QStringList{"ok.txt", "sub", "z.txt"}));
    EXPECT_EQ(childNames(svc.service(), QStringLiteral("/")), (QStringList{"tree"}));
    // The engine settles before the proxy's reports reach the main thread.
    ASSERT_TRUE(waitUntil([&] { return rec.uploadErrors.size() >= 2; }));
    drainEvents();
    QStringList failedFiles;
    for (const auto& e : rec.uploadErrors)
        failedFiles << e->m_error.localizedDescription();
    failedFiles.sort();
    ASSERT_EQ(failedFiles.size(), 2);
    EXPECT_TRUE(failedFiles[0].contains(u"bad␊name.txt")) << failedFiles[0].toStdString();
    EXPECT_TRUE(failedFiles[1].contains(u"tab␉here.txt")) << failedFiles[1].toStdString();
    const auto folderFail = std::find_if(rec.cloudSync.begin(), rec.cloudSync.end(),
                                         [](const auto& s) { return s.kind == QLatin1String("fail"); });
    ASSERT_NE(folderFail, rec.cloudSync.end());
    EXPECT_TRUE(folderFail->error.localizedDescription().contains(u"bad␛dir"));
}

// Names from old archives in another encoding cannot be cloud names (nor be read back from the
// text Nubo keeps of a path): each is left out with a message that names it in its own bytes,
// and a file whose name reads the same as one of them is still uploaded once.
TEST_F(TransferTest, LocalNamesThatAreNotUtf8AreRefusedEachWithAMessage) {
    writeLocal(QStringLiteral("tree/ok.txt"), "A");
    writeLocal(QStringLiteral("tree/caf\uFFFD.txt"), "valid"); // what the bad name below reads as
    const QByteArray tree = QFile::encodeName(local.path() + QStringLiteral("/tree"));
    const QByteArray folder = tree + "/\xc4\xe3\xba\xc3"; // a name in another encoding
    // The temporary folder cannot remove what it cannot name either.
    const std::shared_ptr<void> removeRaw(nullptr, [&](void*) {
        for (const char* f :
             {"/caf\xe9.txt", "/\xc4\xe3\xba\xc3/inner.txt", "/bad\xff", "/sub/x\xfe\xfey.txt"})
            ::unlink(QByteArray(tree + f).constData());
        ::rmdir(folder.constData());
    });
    // Such names cannot be written through a QString: straight through the system instead.
    const auto writeRaw = [](const QByteArray& path, const QByteArray& content) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0) << path.constData();
        ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
    };
    writeRaw(tree + "/caf\xe9.txt", "latin-1");
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    writeRaw(folder + "/inner.txt", "in it");
    writeRaw(tree + "/bad\xff", "");
    ASSERT_TRUE(QDir().mkpath(local.path() + QStringLiteral("/tree/sub")));
    writeRaw(tree + "/sub/x\xfe\xfey.txt", "deeper");

    up->uploadFileByDiskFile(local.path() + QStringLiteral("/tree"), CloudFileInfo::rootFile());
    ASSERT_TRUE(waitCloudIdle());
    ASSERT_TRUE(waitUploadsSettled());
    EXPECT_EQ(childNames(svc.service(), QStringLiteral("/tree")),
              (QStringList{QStringLiteral("caf\uFFFD.txt"), "ok.txt", "sub"}));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/tree/caf\uFFFD.txt")), QByteArray("valid"));
    EXPECT_TRUE(childNames(svc.service(), QStringLiteral("/tree/sub")).isEmpty());
    QStringList refused;
    for (const auto& s : rec.cloudSync)
        if (s.kind == QLatin1String("fail"))
            refused << s.error.localizedDescription();
    QStringList expected;
    for (const char* name : {"bad\\xFF", "caf\\xE9.txt", "sub/x\\xFE\\xFEy.txt", "\\xC4\\xE3\\xBA\\xC3"})
        expected << QStringLiteral("“%1/tree/%2”：文件名不是 UTF-8 编码，无法上传")
                        .arg(local.path(), QLatin1String(name));
    refused.sort();
    expected.sort();
    EXPECT_EQ(refused, expected);
    for (const auto& s : rec.cloudSync)
        EXPECT_NE(s.kind, QStringLiteral("success")) << "a partial upload was reported as a success";
}

// A folder that cannot be listed must not pass for an empty one. Only a user without the
// superuser's powers meets it (the superuser reads any folder).
TEST_F(TransferTest, AFolderThatCannotBeReadIsReportedAndNotMadeEmpty) {
    writeLocal(QStringLiteral("tree/ok.txt"), "A");
    writeLocal(QStringLiteral("tree/locked/b.txt"), "B");
    writeLocal(QStringLiteral("tree/z.txt"), "Z");
    const QString locked = local.path() + QStringLiteral("/tree/locked");
    ASSERT_TRUE(QFile::setPermissions(locked, {}));
    if (!QDir(locked).entryList(QDir::Files).isEmpty()) {
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        GTEST_SKIP() << "this user reads folders without permission";
    }
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/tree"), CloudFileInfo::rootFile());
    ASSERT_TRUE(waitCloudIdle());
    ASSERT_TRUE(waitUploadsSettled());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The readable files go up; the unreadable folder is named in a failure and not made.
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/tree/ok.txt")), QByteArray("A"));
    EXPECT_EQ(cloudContent(svc, QStringLiteral("/tree/z.txt")), QByteArray("Z"));
    EXPECT_EQ(childNames(svc.service(), QStringLiteral("/tree")), (QStringList{"ok.txt", "z.txt"}));
    const auto f = waitCloudFail();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->error.code(), kErrLocalRead);
    EXPECT_TRUE(f->error.localizedDescription().contains(locked))
        << f->error.localizedDescription().toStdString();
    for (const auto& s : rec.cloudSync)
        EXPECT_NE(s.kind, QStringLiteral("success")) << "a partial upload was reported as a success";

    // The same chosen on its own.
    ASSERT_TRUE(QFile::setPermissions(locked, {}));
    up->uploadFileByDiskFile(locked, CloudFileInfo::rootFile());
    ASSERT_TRUE(waitCloudIdle());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const auto g = waitCloudFail();
    ASSERT_TRUE(g);
    EXPECT_TRUE(g->error.localizedDescription().contains(locked));
    EXPECT_FALSE(svc.service().nodeByPath(QStringLiteral("/locked")).ok());
}
