#include "foundation/SingletonT.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <gtest/gtest.h>

TEST(Colors, HexTextsAndMalformedOnesAreBlack) {
    EXPECT_EQ(colorWithRGB(QStringLiteral("#017FFD")), QColor(0x01, 0x7F, 0xFD));
    EXPECT_EQ(colorWithRGB(QStringLiteral("#ff4d5c")), QColor(0xFF, 0x4D, 0x5C));
    for (const char* bad : {"017FFD", "#017FF", "#017FFD0", "#GG0000", "#+12345", "", "#"})
        EXPECT_EQ(colorWithRGB(QString::fromLatin1(bad)), QColor(Qt::black)) << bad;
    EXPECT_NEAR(colorWithRGB(QStringLiteral("#017FFD"), 0.3).alphaF(), 0.3, 1e-3);
    EXPECT_FLOAT_EQ(colorWithRGB(QStringLiteral("#017FFD"), 7).alphaF(), 1.0f);
    EXPECT_FLOAT_EQ(colorWithRGB(QStringLiteral("bad"), -1).alphaF(), 0.0f);
    EXPECT_NEAR(KZStyle::cellSelectedColor().alphaF(), 0.15, 1e-3);
    EXPECT_EQ(KZStyle::titleColor(), QColor(0x1B, 0x25, 0x32));
}

TEST(Fonts, FallBackToASystemFontThatDrawsChinese) {
    const QFont f = KZStyle::fontOfSize(14);
    EXPECT_EQ(f.pixelSize(), 14);
    EXPECT_GT(KZStyle::boldFontOfSize(14).weight(), f.weight());
    // Laid out, the text gets real glyphs (glyph 0 is the missing-glyph box) from the font or
    // the fallback chosen for it.
    QTextLayout layout(QStringLiteral("文件"), f);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    ASSERT_FALSE(runs.isEmpty());
    int glyphs = 0;
    for (const QGlyphRun& run : runs)
        for (quint32 glyph : run.glyphIndexes()) {
            EXPECT_NE(glyph, 0u) << run.rawFont().familyName().toStdString();
            ++glyphs;
        }
    EXPECT_EQ(glyphs, 2);
}

namespace {
class Page : public QObject {
    Q_OBJECT
public:
    explicit Page(QString arg) : arg(std::move(arg)) {}
    QString arg;
};
} // namespace

TEST(Router, RefusesIncompleteInitializersAndKeepsLongLifeObjects) {
    nubo::SingletonT<KZRouter>::reset();
    KZRouter& router = KZRouter::shareInstance();
    EXPECT_FALSE(router.registerEntityInitializer(
        KZInitializer(QString(), [](const QVariantMap&) { return nullptr; })));
    EXPECT_FALSE(router.registerEntityInitializer(KZInitializer(QStringLiteral("Page"), {})));
    EXPECT_EQ(router.entityWithClass(QStringLiteral("Page")), nullptr);

    int made = 0;
    KZInitializer shortLived(QStringLiteral("Page"), [&](const QVariantMap& p) {
        ++made;
        return new Page(p.value(QStringLiteral("a")).toString());
    });
    ASSERT_TRUE(router.registerEntityInitializer(shortLived));
    std::unique_ptr<Page> a(
        router.entityWithClass<Page>(QStringLiteral("Page"), {{QStringLiteral("a"), QStringLiteral("x")}}));
    std::unique_ptr<Page> b(router.entityWithClass<Page>(QStringLiteral("Page")));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(a->arg, u"x");

    KZInitializer longLived = shortLived;
    longLived.setLongLife(true);
    router.registerEntityInitializer(longLived);
    Page* first = router.entityWithClass<Page>(QStringLiteral("Page"));
    EXPECT_EQ(router.entityWithClass<Page>(QStringLiteral("Page")), first);
    EXPECT_EQ(made, 3);
    delete first; // a kept object that went away is made again, never handed back dangling
    Page* again = router.entityWithClass<Page>(QStringLiteral("Page"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(made, 4);
    QPointer<Page> kept(again);
    nubo::SingletonT<KZRouter>::reset(); // takes its kept objects along
    EXPECT_TRUE(kept.isNull());
    EXPECT_FALSE(KZRouter::shareInstance().hasEntity(QStringLiteral("Page")));
}

#include "StyleAndRouterTest.moc"
