#include "kit/Pasteboard.h"
#include "kit/IndexSet.h"
#include "kit/Label.h"
#include "support/Printers.h"

#include <QClipboard>
#include <QDataStream>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>
#include <gtest/gtest.h>

using namespace kit;

TEST(Pasteboard, NuboItemsRoundTripAndReplaceEarlierContents) {
    Pasteboard& pb = Pasteboard::general();
    pb.setString(QStringLiteral("earlier"));
    const QList<QByteArray> items{QByteArray("first"), QByteArray(), QByteArray(1000, '\0')};
    pb.writeItems(Pasteboard::kNuboItemsType, items, QStringLiteral("2 files"));
    EXPECT_EQ(pb.readItems(Pasteboard::kNuboItemsType), items);
    EXPECT_EQ(pb.string(), QStringLiteral("2 files"));
    EXPECT_TRUE(pb.readFileURLs().isEmpty());
    pb.clearContents();
    EXPECT_FALSE(pb.hasItems(Pasteboard::kNuboItemsType));
}

TEST(Pasteboard, DamagedItemDataReadsAsNothing) {
    Pasteboard& pb = Pasteboard::general();
    QByteArray forged;
    QDataStream out(&forged, QIODevice::WriteOnly);
    out << quint32(0x4e42494d) << quint32(1) << quint32(0x7fffffff); // a huge count and no items
    for (const QByteArray& data : {forged, QByteArray("garbage"), QByteArray(), forged.left(6)}) {
        auto* mime = new QMimeData;
        mime->setData(Pasteboard::kNuboItemsType, data);
        QGuiApplication::clipboard()->setMimeData(mime);
        EXPECT_TRUE(pb.readItems(Pasteboard::kNuboItemsType).isEmpty());
    }
}

TEST(Pasteboard, ReadsFilesThatFileManagersCopied) {
    Pasteboard& pb = Pasteboard::general();
    auto* mime = new QMimeData;
    mime->setData(
        QStringLiteral("text/uri-list"),
        "# a comment\r\nfile:///home/u/a%20b.txt\r\nhttps://example.org/x\r\nfile:///home/u/dir\r\n");
    QGuiApplication::clipboard()->setMimeData(mime);
    EXPECT_EQ(pb.readFileURLs(), (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/home/u/a b.txt")),
                                              QUrl::fromLocalFile(QStringLiteral("/home/u/dir"))}));
    EXPECT_FALSE(pb.fileURLsAreCut());

    mime = new QMimeData;
    mime->setData(QStringLiteral("x-special/gnome-copied-files"), "cut\nfile:///tmp/one\nfile:///tmp/two");
    QGuiApplication::clipboard()->setMimeData(mime);
    EXPECT_EQ(pb.readFileURLs().size(), 2);
    EXPECT_TRUE(pb.fileURLsAreCut());

    pb.setString(QStringLiteral("file:///not/a/copy"));
    EXPECT_TRUE(pb.readFileURLs().isEmpty());
}

// Whatever another program wrote, a drop and a paste name only clean absolute local paths: the
// root however written, a folder with a trailing slash by its own name, nothing relative.
TEST(Pasteboard, FileLinksAreReadAsCleanAbsoluteLocalPaths) {
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("text/uri-list"), "file:///\r\n"
                                                   "file:////\r\n"
                                                   "file:///home/u/dir/\r\n"
                                                   "file:///home//u/./a%20b/../c.txt\r\n"
                                                   "file://localhost/tmp/x\r\n"
                                                   "file:/tmp/y\r\n"
                                                   "file:relative.txt\r\n"
                                                   "file:./here\r\n"
                                                   "file:../up\r\n"
                                                   "file://otherhost/etc/passwd\r\n"
                                                   "file:///tmp/a%00b\r\n"
                                                   "file://\r\n");
    const QStringList expected{"/", "/", "/home/u/dir", "/home/u/c.txt", "/tmp/x", "/tmp/y"};
    EXPECT_EQ(Pasteboard::localPathsFromMimeData(mime), expected); // the drop

    QGuiApplication::clipboard()->setMimeData(mime); // the paste
    QStringList pasted;
    for (const QUrl& url : Pasteboard::general().readFileURLs())
        pasted << url.toLocalFile();
    EXPECT_EQ(pasted, expected);

    mime = new QMimeData;
    mime->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\nfile:relative\nfile:///tmp/z/");
    QGuiApplication::clipboard()->setMimeData(mime);
    EXPECT_EQ(Pasteboard::general().readFileURLs(),
              QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/z"))});
}

TEST(IndexSet, MergesRangesAndShiftsLikeRowEdits) {
    IndexSet s{5, 1, 2, 3, 9};
    EXPECT_EQ(s.ranges().size(), 3u);
    EXPECT_EQ(s.count(), 5);
    EXPECT_EQ(s.first(), 1);
    EXPECT_EQ(s.last(), 9);
    s.add(4); // joins 1-3 and 5
    EXPECT_EQ(s.ranges().size(), 2u);
    s.shift(4, 2); // insert two rows at 4
    EXPECT_EQ(s.toList(), (QList<int>{1, 2, 3, 6, 7, 11}));
    s.shift(3, -1); // remove row 2
    EXPECT_EQ(s.toList(), (QList<int>{1, 2, 5, 6, 10}));
    s.removeRange(0, 6);
    EXPECT_EQ(s.toList(), (QList<int>{6, 10}));
    EXPECT_TRUE(IndexSet::range(0, 1000000).containsAll(s));
    EXPECT_EQ(IndexSet::range(0, 10).intersectedWithRange(8, 5), IndexSet::range(8, 2));
    IndexSet negative;
    negative.add(-3);
    EXPECT_TRUE(negative.isEmpty());
}

TEST(Label, TruncatesInTheMiddleAndKeepsRunsOnBothSides) {
    Label label;
    QFont font;
    font.setPixelSize(12);
    label.setFont(font);
    AttributedString text(QStringLiteral("a-very-long-file-name-that-does-not-fit.txt"));
    text.setColor(Qt::red, 0, 1);
    label.setAttributedText(text);
    label.setLineBreakMode(LineBreakMode::TruncateMiddle);
    const QStringList lines = label.displayedLines(120);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QLatin1Char('a')));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("txt")));
    EXPECT_TRUE(lines[0].contains(QChar(0x2026)));

    // Two lines: the second takes the rest, truncated in its middle; the fitted size obeys the box.
    label.setText(QStringLiteral("one two three four five six seven eight nine ten eleven twelve"));
    label.setNumberOfLines(2);
    const QStringList two = label.displayedLines(80);
    ASSERT_EQ(two.size(), 2);
    EXPECT_TRUE(two[1].contains(QChar(0x2026)));
    EXPECT_TRUE(two[1].endsWith(QStringLiteral("lve"))) << two[1].toStdString(); // the text's own end
    const QSizeF fit = label.sizeThatFits(QSizeF(86, 40));
    EXPECT_LE(fit.width(), 86);
    EXPECT_LE(fit.height(), 40);
    EXPECT_GT(fit.height(), label.sizeThatFits(QSizeF(1000, 40)).height() - 1);

    label.setText(QString());
    EXPECT_EQ(label.sizeThatFits(QSizeF(100, 100)).width(), 0);
}
