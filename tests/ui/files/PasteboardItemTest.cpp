#include "kit/Pasteboard.h"
#include "support/CloudPrinters.h"
#include "ui/files/KZPasteboardItem.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

namespace {

CloudFileInfoPtr node(qint64 nid, const QString& path, bool dir = false) {
    auto f = CloudFileInfo::create();
    f->setNid(nid);
    f->setPid(1);
    f->setPath(path);
    f->setName(path.section(QLatin1Char('/'), -1));
    f->setIsDirectory(dir);
    return f;
}

// The session's view of the tree: node 11 was moved, node 12 is gone.
CloudFileInfoPtr lookup(qint64 nid) {
    if (nid == 10)
        return node(10, QStringLiteral("/docs"), true);
    if (nid == 11)
        return node(11, QStringLiteral("/moved/report.txt"));
    return nullptr;
}

QStringList paths(const KZPasteboardItemPtr& item) {
    QStringList out;
    for (const auto& f : item->contents())
        out.append(f->path());
    return out;
}

} // namespace

TEST(PasteboardItem, RoundTripsThroughTheGeneralPasteboardForItsOwnAccountOnly) {
    KZPasteboardItem item({node(10, QStringLiteral("/docs"), true), node(11, QStringLiteral("/report.txt"))},
                          KZPasteboardItem::kTypeCopy, QStringLiteral("7"), QStringLiteral("0"));
    item.writeToGeneralPasteboard();

    const KZPasteboardItemPtr read =
        KZPasteboardItem::readFromGeneralPasteboard(QStringLiteral("7"), QStringLiteral("0"), lookup);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->type(), KZPasteboardItem::kTypeCopy);
    // The contents are the nodes as they are now.
    EXPECT_EQ(paths(read), (QStringList{QStringLiteral("/docs"), QStringLiteral("/moved/report.txt")}));
    EXPECT_TRUE(read->contents().first()->isDirectory());

    // Another user, another enterprise, or nobody signed in: nothing.
    EXPECT_EQ(KZPasteboardItem::readFromGeneralPasteboard(QStringLiteral("8"), QStringLiteral("0"), lookup),
              nullptr);
    EXPECT_EQ(KZPasteboardItem::readFromGeneralPasteboard(QStringLiteral("7"), QStringLiteral("3"), lookup),
              nullptr);
    EXPECT_EQ(KZPasteboardItem::readFromGeneralPasteboard(QString(), QString(), lookup), nullptr);
}

TEST(PasteboardItem, NodesThatAreGoneAreDroppedAndAnItemWithNoneLeftReadsAsNothing) {
    KZPasteboardItem({node(11, QStringLiteral("/a")), node(12, QStringLiteral("/b"))},
                     KZPasteboardItem::kTypeCut, QStringLiteral("7"), QStringLiteral("0"))
        .writeToGeneralPasteboard();
    auto read = KZPasteboardItem::readFromGeneralPasteboard(QStringLiteral("7"), QStringLiteral("0"), lookup);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->type(), KZPasteboardItem::kTypeCut);
    EXPECT_EQ(paths(read), QStringList{QStringLiteral("/moved/report.txt")});

    KZPasteboardItem({node(12, QStringLiteral("/b"))}, KZPasteboardItem::kTypeCut, QStringLiteral("7"),
                     QStringLiteral("0"))
        .writeToGeneralPasteboard();
    EXPECT_EQ(KZPasteboardItem::readFromGeneralPasteboard(QStringLiteral("7"), QStringLiteral("0"), lookup),
              nullptr);
}

TEST(PasteboardItem, DamagedOrForeignBytesReadAsNothing) {
    const QByteArray good = KZPasteboardItem({node(10, QStringLiteral("/docs"), true)}, 1,
                                             QStringLiteral("7"), QStringLiteral("0"))
                                .pasteboardPropertyList();
    ASSERT_NE(KZPasteboardItem::fromPasteboardPropertyList(good), nullptr);
    for (int cut : {0, 1, 5, int(good.size()) / 2, int(good.size()) - 1})
        EXPECT_EQ(KZPasteboardItem::fromPasteboardPropertyList(good.left(cut)), nullptr) << cut;
    QByteArray flipped = good;
    flipped[3] = char(flipped[3] ^ 0x5a); // the format number
    EXPECT_EQ(KZPasteboardItem::fromPasteboardPropertyList(flipped), nullptr);

    // Another program's text on the clipboard is no item.
    QGuiApplication::clipboard()->setText(QStringLiteral("hello"));
    EXPECT_EQ(KZPasteboardItem::readFromGeneralPasteboard(QStringLiteral("7"), QStringLiteral("0"), lookup),
              nullptr);
}
