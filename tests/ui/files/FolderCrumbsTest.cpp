#include "shell/KZLabel.h"
#include "support/EventLoop.h"
#include "ui/files/KZFolderCrumbs.h"
#include "ui/files/KZFolderCrumbsLayout.h"
#include "ui/files/KZFolderToken.h"

#include <QObject>
#include <gtest/gtest.h>

namespace {

class Recorder : public QObject, public KZFolderCrumbsDelegate {
public:
    void folderCrumbsDidClickDirectoryPath(const QString& path) override { clicked.append(path); }
    QStringList clicked;
};

QStringList titles(const KZFolderCrumbs& c) {
    QStringList out;
    for (KZFolderToken* t : c.tokens())
        out.append(t->label() ? t->title() : QStringLiteral(">"));
    return out;
}

void click(KZFolderToken* t) {
    t->mouseDown(kit::Event(kit::Event::Type::MouseDown, {}));
    t->mouseUp(kit::Event(kit::Event::Type::MouseUp, {}));
}

struct CrumbsFixture : ::testing::Test {
    KZFolderCrumbs crumbs;
    Recorder recorder;
    void SetUp() override {
        crumbs.setDelegate(&recorder);
        crumbs.setFrame(QRectF(0, 0, 2000, 30));
    }
};

} // namespace

TEST_F(CrumbsFixture, RootIsOneSelectedCrumbThatIgnoresClicks) {
    crumbs.setFullPath(QStringLiteral("/"));
    ASSERT_EQ(titles(crumbs), QStringList{QStringLiteral("全部文件")});
    EXPECT_TRUE(crumbs.tokens().first()->selected());
    click(crumbs.tokens().first());
    EXPECT_TRUE(recorder.clicked.isEmpty());

    crumbs.setFullPath(QString()); // nothing counts as the root
    EXPECT_EQ(crumbs.fullPath(), QStringLiteral("/"));
    EXPECT_EQ(crumbs.tokens().size(), 1);
}

TEST_F(CrumbsFixture, WideBarShowsEveryFolderAndReportsClickedPaths) {
    crumbs.setFullPath(QStringLiteral("/a/b"));
    EXPECT_EQ(titles(crumbs), (QStringList{"全部文件", ">", "a", ">", "b"}));
    EXPECT_TRUE(crumbs.tokens().last()->selected());
    EXPECT_FALSE(crumbs.tokens().at(2)->selected());

    click(crumbs.tokens().at(0));
    click(crumbs.tokens().at(2));
    click(crumbs.tokens().at(4)); // the folder on view
    EXPECT_EQ(recorder.clicked, (QStringList{"/", "/a"}));

    // Crumbs sit edge to edge from the left.
    const auto& t = crumbs.tokens();
    for (int i = 1; i < t.size(); ++i)
        EXPECT_DOUBLE_EQ(t.at(i)->frame().left(), t.at(i - 1)->frame().right());
}

TEST_F(CrumbsFixture, NarrowBarCollapsesIntoAnUnclickableEllipsis) {
    crumbs.setFrame(QRectF(0, 0, 40, 30));
    crumbs.setFullPath(QStringLiteral("/a/b"));
    EXPECT_EQ(titles(crumbs), (QStringList{"全部文件", ">", "..."}));
    EXPECT_TRUE(crumbs.tokens().last()->selected());
    click(crumbs.tokens().last());
    EXPECT_TRUE(recorder.clicked.isEmpty());
}

TEST_F(CrumbsFixture, ExactFitStillCollapsesBecauseTheEllipsisMustFitToo) {
    // Measure the parts with a wide bar first, then give the bar exactly their sum.
    crumbs.setFullPath(QStringLiteral("/alpha/beta"));
    const auto& t = crumbs.tokens();
    ASSERT_EQ(t.size(), 5);
    KZFolderToken* ellipsis = KZFolderToken::ellipsisToken();
    const double e = ellipsis->suggestTokenWidth();
    delete ellipsis;
    const double exact = e + t.at(0)->suggestTokenWidth() + 3 * t.at(1)->suggestTokenWidth() +
                         t.at(2)->suggestTokenWidth() + t.at(4)->suggestTokenWidth();

    crumbs.setFrame(QRectF(0, 0, exact, 30));
    crumbs.setFullPath(QStringLiteral("/alpha/beta"));
    EXPECT_EQ(titles(crumbs), (QStringList{"全部文件", ">", "...", ">", "beta"}));

    crumbs.setFrame(QRectF(0, 0, exact + 1, 30));
    crumbs.setFullPath(QStringLiteral("/alpha/beta"));
    EXPECT_EQ(titles(crumbs), (QStringList{"全部文件", ">", "alpha", ">", "beta"}));
}

TEST_F(CrumbsFixture, LongNameIsCappedAndOverlapsItsNeighbours) {
    const QString longName(200, QLatin1Char('W'));
    crumbs.setFullPath(QStringLiteral("/") + longName + QStringLiteral("/x"));
    const auto& t = crumbs.tokens();
    ASSERT_EQ(t.size(), 5);
    KZFolderToken* big = t.at(2);
    EXPECT_DOUBLE_EQ(big->suggestTokenWidth(), 300.0);
    EXPECT_DOUBLE_EQ(big->frame().width(), 300.0);
    EXPECT_DOUBLE_EQ(big->frame().left(), t.at(1)->frame().right() - 4);
    EXPECT_DOUBLE_EQ(t.at(3)->frame().left(), big->frame().right() - 4);
    // The title is shortened in its middle, not cut at an end.
    big->label()->setFrame(big->bounds());
    const QString shown = big->label()->displayedLines(300).value(0);
    EXPECT_LT(shown.size(), longName.size());
    EXPECT_TRUE(shown.startsWith(QLatin1Char('W')) && shown.endsWith(QLatin1Char('W')));
}

TEST(CrumbsLayout, ChoiceCountsFromTheDeepestFolder) {
    using namespace KZFolderCrumbsLayout;
    // root 50, arrow 10, ellipsis 20; components 30, 40, 60.
    const QList<double> w{30, 40, 60};
    auto all = choose(1000, 50, 10, 20, w);
    EXPECT_EQ(all.shown, 3);
    EXPECT_FALSE(all.ellipsis);
    // 20 + 50 + 10 + (60 + 10) = 150 fits 151, the next (40 + 10) does not.
    auto one = choose(151, 50, 10, 20, w);
    EXPECT_EQ(one.shown, 1);
    EXPECT_TRUE(one.ellipsis);
    auto none = choose(150, 50, 10, 20, w);
    EXPECT_EQ(none.shown, 0);
    EXPECT_TRUE(none.ellipsis);
}
