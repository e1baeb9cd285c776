#include "support/CloudPrinters.h"
#include "ui/files/KZFileListSort.h"
#include "ui/files/KZLocalFileInfo.h"

#include <gtest/gtest.h>

namespace {

CloudFileInfoPtr node(const QString& name, bool dir, qint32 mtime = 0, qint64 nid = 0) {
    auto f = CloudFileInfo::create();
    f->setName(name);
    f->setIsDirectory(dir);
    f->setM_fmtime(mtime);
    f->setNid(nid ? nid : qHash(name));
    return f;
}

QStringList names(const QList<CloudFileInfoPtr>& files) {
    QStringList out;
    for (const auto& f : files)
        out.append(f->name());
    return out;
}

} // namespace

TEST(FileListSort, NamesInNaturalOrderWithFoldersFirst) {
    QList<CloudFileInfoPtr> files{node("a2", false), node("b", true), node("a1", false), node("a10", true)};
    KZFileListSort::sort(files, 0);
    EXPECT_EQ(names(files), (QStringList{"a10", "b", "a1", "a2"}));
    KZFileListSort::sort(files, 1);
    EXPECT_EQ(names(files), (QStringList{"b", "a10", "a2", "a1"}));
}

TEST(FileListSort, TimesWithFoldersFirstAndUnknownModesDescending) {
    QList<CloudFileInfoPtr> files{node("old", false, 100), node("new", false, 300), node("dir", true, 50),
                                  node("mid", false, 200)};
    KZFileListSort::sort(files, 2);
    EXPECT_EQ(names(files), (QStringList{"dir", "old", "mid", "new"}));
    KZFileListSort::sort(files, 3);
    EXPECT_EQ(names(files), (QStringList{"dir", "new", "mid", "old"}));
    KZFileListSort::sort(files, 42);
    EXPECT_EQ(names(files), (QStringList{"dir", "new", "mid", "old"}));
}

TEST(FileListSort, FolderBeingCreatedStaysFirstInEveryMode) {
    for (int mode : {0, 1, 2, 3}) {
        QList<CloudFileInfoPtr> files{node("a", true, 10), node("z", false, 999),
                                      KZLocalFileInfo::localFileInfoWithName(QStringLiteral("新建文件夹"), 0),
                                      node("b", true, 20)};
        KZFileListSort::sort(files, mode);
        EXPECT_TRUE(KZLocalFileInfo::isLocal(files.first().get())) << "mode " << mode;
    }
}

TEST(FileListSort, ListingOrderIsTrustedOnlyForItsModeAndUntilARecordChanges) {
    // Stamped as a name-ordered listing, though the names say otherwise: the stamp is what a
    // listing from the session carries, and it is trusted for that mode alone.
    QList<CloudFileInfoPtr> files{node("c", false, 3), node("a", false, 1), node("b", false, 2)};
    const quint64 listing = CloudFileInfo::newListing();
    for (int i = 0; i < files.size(); ++i)
        files[i]->setListingOrder(listing, quint32(i), 0);
    KZFileListSort::sort(files, 0);
    EXPECT_EQ(names(files), (QStringList{"c", "a", "b"}));
    KZFileListSort::sort(files, 2); // another mode compares
    EXPECT_EQ(names(files), (QStringList{"a", "b", "c"}));

    for (int i = 0; i < files.size(); ++i)
        files[i]->setListingOrder(listing, quint32(i), 2);
    files[0]->setM_fmtime(9); // a changed record ends the trust
    KZFileListSort::sort(files, 2);
    EXPECT_EQ(names(files), (QStringList{"b", "c", "a"}));
}

TEST(FileListSort, RowListsSortLikeRecordListsWithPlaceholdersFirst) {
    QList<CloudFileInfoPtr> records{
        node("a2", false, 5), node("b", true, 1),
        node("a1", false, 9), KZLocalFileInfo::localFileInfoWithName(QStringLiteral("新建文件夹"), 0),
        node("a10", true, 3), node("c", false, 5)};
    for (int mode : {0, 1, 2, 3}) {
        CloudFileList rows(records);
        QList<CloudFileInfoPtr> plain = records;
        KZFileListSort::sort(rows, mode);
        KZFileListSort::sort(plain, mode);
        EXPECT_EQ(names(rows.toList()), names(plain)) << "mode " << mode;
        EXPECT_EQ(rows.sortedBy(), mode);
    }
    // A list that says it stands in a mode is trusted; one that does not is checked.
    CloudFileList rows(records);
    rows.setSortedBy(0);
    KZFileListSort::sort(rows, 0);
    EXPECT_EQ(names(rows.toList()), names(records));
}
