// A real folder tree of the machine goes up to the service and comes back byte for byte.
#include "support/TransferFixture.h"

#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>

using namespace nubo;
using namespace nubo::test;
using namespace nubo::transfer;

TEST_F(TransferTest, RealTreeRoundTripIsByteIdentical) {
    const QString source = QStringLiteral("/usr/share/doc");
    if (!QFileInfo(source).isDir())
        GTEST_SKIP() << "no documentation tree on this machine";
    // A copy of its first packages (about a thousand files, to keep the test short), links
    // resolved: the upload leaves linked folders out, the copy has none.
    const QString tree = local.path() + QStringLiteral("/doc");
    QDir().mkpath(tree);
    int copied = 0;
    for (const QString& entry : QDir(source).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (copied >= 1000)
            break;
        if (QProcess::execute(QStringLiteral("cp"),
                              {QStringLiteral("-rL"), source + QLatin1Char('/') + entry, tree}) != 0)
            continue; // unreadable or dangling entries are not this test's business
        QDirIterator it(tree + QLatin1Char('/') + entry, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++copied;
        }
    }
    ASSERT_GT(copied, 100);
    const QString back = local.path() + QStringLiteral("/back");
    QDir().mkpath(back);

    up->uploadFileByDiskFile(tree, CloudFileInfo::rootFile());
    ASSERT_TRUE(waitCloudIdle(30000));
    ASSERT_TRUE(waitUploadsSettled(60000));
    EXPECT_EQ(KZUploadMgr::shared().count(KZTransportJobStatusError), 0);
    const int files = KZUploadMgr::shared().count(KZTransportJobStatusFinished);
    EXPECT_EQ(files, copied);

    auto doc = svc.service().nodeByPath(QStringLiteral("/doc"));
    ASSERT_TRUE(doc.ok());
    down->downloadFileByCloudFile(cloudNode(doc.value), back);
    ASSERT_TRUE(waitLocalIdle(30000));
    ASSERT_TRUE(waitDownloadsSettled(60000));
    EXPECT_EQ(KZDownloadMgr::shared().count(KZTransportJobStatusError), 0);
    EXPECT_EQ(KZDownloadMgr::shared().count(KZTransportJobStatusFinished), files);
    EXPECT_EQ(QProcess::execute(QStringLiteral("diff"),
                                {QStringLiteral("-r"), tree, back + QStringLiteral("/doc")}),
              0);
}
