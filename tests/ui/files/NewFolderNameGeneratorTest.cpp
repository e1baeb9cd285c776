#include "support/CloudPrinters.h"
#include "ui/files/KZNewFolderNameGenerator.h"

#include <gtest/gtest.h>

namespace {

CloudFileInfoPtr node(const QString& name, bool folder = true) {
    auto f = CloudFileInfo::create();
    f->setName(name);
    f->setIsDirectory(folder);
    return f;
}

} // namespace

TEST(NewFolderNameGenerator, TakesTheSmallestFreeNumberAndKeepsItTaken) {
    KZNewFolderNameGenerator g;
    EXPECT_EQ(g.newFolderName(), QStringLiteral("新建文件夹")); // an empty folder
    EXPECT_EQ(g.newFolderName(), QStringLiteral("新建文件夹 2"));

    g.scanFileNameForCreateDir({node(QStringLiteral("新建文件夹")), node(QStringLiteral("新建文件夹 3"))});
    EXPECT_EQ(g.newFolderName(), QStringLiteral("新建文件夹 2"));
    EXPECT_EQ(g.newFolderName(), QStringLiteral("新建文件夹 4"));
}

TEST(NewFolderNameGenerator, OnlyFoldersNamedBaseOrBaseBlankNumberTakeANumber) {
    KZNewFolderNameGenerator g;
    g.scanFileNameForCreateDir({
        node(QStringLiteral("新建文件夹2")),         // no blank
        node(QStringLiteral("新建文件夹 2 3")),      // two numbers
        node(QStringLiteral("新建文件夹 4"), false), // a file
        node(QStringLiteral("新建文件夹 x")),        // no number
        node(QStringLiteral("新建文件夹 -5")),       // below 0
    });
    EXPECT_TRUE(g.folderIndexs().isEmpty());
    EXPECT_EQ(g.newFolderName(), QStringLiteral("新建文件夹"));
}

TEST(NewFolderNameGenerator, AddedAndDeletedNodesMoveTheirNumbers) {
    KZNewFolderNameGenerator g;
    g.addSuffixIndex({node(QStringLiteral("新建文件夹")), node(QStringLiteral("新建文件夹 2"))});
    g.deleteSuffixIndex({node(QStringLiteral("新建文件夹"))});
    EXPECT_EQ(g.newFolderName(), QStringLiteral("新建文件夹"));
    EXPECT_EQ(g.newFolderName(), QStringLiteral("新建文件夹 3"));
}
