// Searching from the file page, its scope bar and location cells, and the empty-state overlay,
// against the real session and embedded service.
#include "PageFixture.h"

#include "cloud/KZSession.h"
#include "foundation/Dispatch.h"
#include "kit/TableView.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZMessageSet.h"
#include "shell/KZTextFieldCell.h"
#include "ui/files/KZFilePathCell.h"
#include "ui/files/KZFileSearchView.h"
#include "ui/files/KZFolderCrumbs.h"
#include "ui/files/KZFolderToken.h"
#include "ui/files/KZSearchOptionsView.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QSemaphore>
#include <QTest>
#include <atomic>

using nubo::test::drainEvents;
using nubo::test::waitUntil;

namespace {

class Search : public nubo::test::PageFixture {
protected:
    static void SetUpTestSuite() {
        startService([](nubo::test::ServiceFixture& s) {
            s.putFile(QStringLiteral("/docs/report.txt"), "r");
            s.putFile(QStringLiteral("/docs/alpha.txt"), "a");
            s.putFile(QStringLiteral("/docs/sub/abacus.txt"), "s");
            s.putFile(QStringLiteral("/abroot.txt"), "x");
            s.mkdir(QStringLiteral("/empty"));
        });
    }
    static void TearDownTestSuite() { stopService(); }
    void SetUp() override { openPage(); }

    QLineEdit* editor() const { return page->fileSearchView()->textField()->editor(); }
    QString typed() const { return page->fileSearchView()->textField()->stringValue(); }
    // Types into the search field as the user does: the field takes the keyboard first.
    void type(const QString& text) {
        window->makeFirstResponder(page->fileSearchView()->textField());
        QTest::keyClicks(editor(), text);
    }
    void backspace(int times = 1) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(editor(), Qt::Key_Backspace);
    }
    void waitForKey(const QString& key) {
        ASSERT_TRUE(waitUntil([&] {
            return page->fileInfo()->isSearch() && page->fileInfo()->searchKey() == key;
        })) << key.toStdString();
        settle();
    }
    KZMessageSetView* overlay() const { return KZMessageSet::messageSetViewOf(page->view()); }
    QString cellText(int row) const {
        const int column = page->tableView()->columnWithIdentifier(QStringLiteral("type"));
        auto* cell = qobject_cast<KZFilePathCell*>(page->tableView()->viewAtColumn(column, row, false));
        return cell ? cell->pathLabel()->text() : QString();
    }
};

TEST_F(Search, TypingSearchesInPlaceAndClearingReturnsToTheFolder) {
    jump(QStringLiteral("/docs"));
    type(QStringLiteral("a"));
    waitForKey(QStringLiteral("a"));
    EXPECT_EQ(page->searchOptionsViewHeight(), KZFilesViewController::kSearchOptionsHeight);
    EXPECT_FALSE(page->fileSearchView()->deleteButton()->isHidden());
    type(QStringLiteral("b"));
    waitForKey(QStringLiteral("ab"));
    EXPECT_EQ(names(), QStringList{QStringLiteral("abacus.txt")});

    // "a" and "ab" are one history entry: one step back is the folder.
    page->actionGoback();
    settle();
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/docs"));
    EXPECT_FALSE(page->fileInfo()->isSearch());
    EXPECT_TRUE(typed().isEmpty());
    EXPECT_EQ(page->searchOptionsViewHeight(), 0.0);

    page->actionGoForward();
    settle();
    ASSERT_TRUE(page->fileInfo()->isSearch());
    // Emptying the field by hand leaves the search for the folder, and stays there.
    window->makeFirstResponder(page->fileSearchView()->textField());
    page->fileSearchView()->textField()->setStringValue(QStringLiteral("ab"));
    backspace(2);
    settle();
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/docs"));
    EXPECT_FALSE(page->fileInfo()->isSearch());
    EXPECT_TRUE(page->goBackButton()->isEnabled());
}

TEST(FileSearchView, ClearButtonShowsOnlyWhileTextIsTyped) {
    kit::Window window;
    auto* search = new KZFileSearchView;
    window.contentView()->addSubview(search);
    search->setFrame(QRectF(0, 0, 240, 32));
    window.show();
    EXPECT_TRUE(search->deleteButton()->isHidden());
    ASSERT_TRUE(window.makeFirstResponder(search->textField()));
    QTest::keyClicks(search->textField()->editor(), QStringLiteral("ab"));
    EXPECT_FALSE(search->deleteButton()->isHidden());
    QTest::keyClick(search->textField()->editor(), Qt::Key_Backspace);
    QTest::keyClick(search->textField()->editor(), Qt::Key_Backspace);
    EXPECT_TRUE(search->deleteButton()->isHidden()); // empty again
    QTest::keyClicks(search->textField()->editor(), QStringLiteral("c"));
    window.makeFirstResponder(nullptr);
    EXPECT_TRUE(search->deleteButton()->isHidden()); // editing ended
    EXPECT_EQ(search->textField()->stringValue(), QStringLiteral("c"));
}

TEST_F(Search, ClearButtonAndNavigationLeaveTheSearchWithoutSearchingAgain) {
    jump(QStringLiteral("/docs"));
    type(QStringLiteral("rep"));
    waitForKey(QStringLiteral("rep"));
    page->fileSearchView()->clearText();
    settle();
    EXPECT_FALSE(page->fileInfo()->isSearch());
    EXPECT_TRUE(page->fileSearchView()->deleteButton()->isHidden());

    // Every road out of a result (here the root, a crumb and a jump) empties the typed text, and
    // nothing bounces back into a search when the answer lands.
    const std::function<void()> roads[] = {
        [&] { page->openDirToRoot(); },
        [&] { page->folderCrumbsDidClickDirectoryPath(QStringLiteral("/")); },
        [&] { page->openDirWithJumpPath(QStringLiteral("/empty"), QString(), false); },
    };
    for (const auto& road : roads) {
        jump(QStringLiteral("/docs"));
        type(QStringLiteral("al"));
        waitForKey(QStringLiteral("al"));
        road();
        EXPECT_TRUE(typed().isEmpty());
        settle();
        EXPECT_FALSE(page->fileInfo()->isSearch());
    }
}

TEST_F(Search, TextTypedWhileAListIsOutIsSearchedWhenItLands) {
    jump(QStringLiteral("/"));
    page->openDir(named(page->files(), QStringLiteral("docs")));
    ASSERT_TRUE(page->isListRequestPending());
    type(QStringLiteral("alp"));
    // Nothing is sent while the folder is on its way; its answer searches the typed text there.
    waitForKey(QStringLiteral("alp"));
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/docs"));
    EXPECT_EQ(names(), QStringList{QStringLiteral("alpha.txt")});
    EXPECT_EQ(page->fileInfo()->searchNid(), page->fileInfo()->nid());
}

TEST_F(Search, TypingOverASearchStillOutDropsIt) {
    jump(QStringLiteral("/docs"));
    // The session is held so that the second key comes while the first search is still out.
    QSemaphore gate;
    nubo::KZBackgroundThread::shared().run([&gate] { gate.acquire(); });
    type(QStringLiteral("a"));
    type(QStringLiteral("l"));
    // The new key went out at once, behind the dropped one: the session has searched it by the
    // time a job queued now runs.
    std::atomic<bool> searched{false};
    nubo::KZBackgroundThread::shared().run([&searched] {
        const auto current = KZSession::sharedSession().backForwordList()->curNode();
        searched = current && current->isSearch() && current->name() == QStringLiteral("al");
    });
    gate.release();
    ASSERT_TRUE(waitUntil([&] {
        return page->fileInfo()->isSearch() && page->fileInfo()->searchKey() == QStringLiteral("al") &&
               !page->isListRequestPending();
    }));
    EXPECT_TRUE(searched);
    EXPECT_EQ(names(), QStringList{QStringLiteral("alpha.txt")});
    // One history entry: back is the folder.
    page->actionGoback();
    settle();
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/docs"));
    EXPECT_FALSE(page->fileInfo()->isSearch());

    // Emptying the field while a search is out still waits for it, then leaves the search.
    type(QStringLiteral("al"));
    nubo::KZBackgroundThread::shared().run([&gate] { gate.acquire(); });
    type(QStringLiteral("p"));
    backspace(3);
    gate.release();
    settle();
    ASSERT_TRUE(waitUntil([&] { return !page->fileInfo()->isSearch() && !page->isListRequestPending(); }));
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/docs"));
}

TEST_F(Search, ScopeBarSearchesAgainWithTheSameKey) {
    // From the root: only "全部文件", selected.
    type(QStringLiteral("ab"));
    waitForKey(QStringLiteral("ab"));
    KZSearchOptionsView* bar = page->searchOptionsView();
    EXPECT_EQ(bar->searchCurrentItemView(), nullptr);
    EXPECT_TRUE(bar->searchAllItemView()->selected());
    EXPECT_EQ(names().size(), 2); // abroot.txt and abacus.txt

    // From a folder: both, the folder chosen.
    jump(QStringLiteral("/docs"));
    type(QStringLiteral("ab"));
    waitForKey(QStringLiteral("ab"));
    ASSERT_NE(bar->searchCurrentItemView(), nullptr);
    EXPECT_EQ(bar->searchCurrentItemView()->title(), QStringLiteral("docs"));
    EXPECT_TRUE(bar->searchCurrentItemView()->selected());
    EXPECT_FALSE(bar->searchAllItemView()->selected());
    EXPECT_EQ(names(), QStringList{QStringLiteral("abacus.txt")});

    bar->itemClicked(bar->searchAllItemView());
    settle();
    EXPECT_EQ(page->fileInfo()->searchKey(), QStringLiteral("ab"));
    EXPECT_EQ(page->fileInfo()->searchNid(), 0);
    EXPECT_EQ(names().size(), 2);
    EXPECT_TRUE(bar->searchAllItemView()->selected());
    ASSERT_NE(bar->searchCurrentItemView(), nullptr);
    EXPECT_FALSE(bar->searchCurrentItemView()->selected());

    // A click on the chosen item sends nothing.
    const CloudFileInfoPtr shown = page->fileInfo();
    bar->searchAllItemView()->mouseDown(kit::Event());
    drainEvents();
    EXPECT_FALSE(page->isListRequestPending());
    EXPECT_EQ(page->fileInfo(), shown);
}

TEST_F(Search, ResultsShowWhereEachHitLiesAndOpenIt) {
    type(QStringLiteral("ab"));
    waitForKey(QStringLiteral("ab"));
    const int column = page->tableView()->columnWithIdentifier(QStringLiteral("type"));
    EXPECT_EQ(page->tableView()->tableColumns().at(column)->title(), QStringLiteral("所在位置"));
    const int rootHit = int(page->files().indexOf(named(page->files(), QStringLiteral("abroot.txt"))));
    const int deepHit = int(page->files().indexOf(named(page->files(), QStringLiteral("abacus.txt"))));
    EXPECT_EQ(cellText(rootHit), QStringLiteral("全部文件"));
    EXPECT_EQ(cellText(deepHit), QStringLiteral("sub"));

    auto* cell = qobject_cast<KZFilePathCell*>(page->tableView()->viewAtColumn(column, deepHit, false));
    ASSERT_NE(cell, nullptr);
    cell->pathButtonClicked();
    EXPECT_TRUE(typed().isEmpty());
    settle();
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/docs/sub"));
    EXPECT_EQ(page->tableView()->tableColumns().at(column)->title(), QStringLiteral("类型"));
}

TEST_F(Search, KeyWithASlashIsOneCrumb) {
    jump(QStringLiteral("/docs"));
    type(QStringLiteral("a/b"));
    waitForKey(QStringLiteral("a/b"));
    const auto& tokens = page->folderCrumbs()->tokens();
    ASSERT_FALSE(tokens.isEmpty());
    EXPECT_EQ(tokens.last()->title(), QStringLiteral("“a/b”的搜索结果"));
    QStringList titles;
    for (KZFolderToken* t : tokens)
        if (!t->title().isEmpty())
            titles.append(t->title());
    EXPECT_EQ(titles.count(QStringLiteral("docs")), 1);
    EXPECT_FALSE(titles.contains(QStringLiteral("b”的搜索结果")));
    // The "docs" crumb still opens the folder.
    for (KZFolderToken* t : tokens) {
        if (t->title() == QStringLiteral("docs")) {
            EXPECT_EQ(t->path(), QStringLiteral("/docs"));
        }
    }
}

TEST_F(Search, OverlayExplainsEmptyFoldersAndEmptyResults) {
    jump(QStringLiteral("/empty"));
    ASSERT_NE(overlay(), nullptr);
    EXPECT_EQ(overlay()->parentWidget(), page->centerView());
    EXPECT_EQ(overlay()->descriptionLabel()->text(), QStringLiteral("您还没有上传过文档哦～"));
    ASSERT_EQ(overlay()->buttons().size(), 1);
    EXPECT_EQ(overlay()->buttons().first()->title(), QStringLiteral("上传文件"));
    EXPECT_FALSE(overlay()->interceptsEvents());
    EXPECT_EQ(overlay()->geometry().bottom() + 1, page->centerView()->height() - 32);

    // Its button opens the chooser of files to upload into the folder.
    overlay()->buttons().first()->sendAction();
    QFileDialog* chooser = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible())
                chooser = d;
        return chooser != nullptr;
    }));
    chooser->reject();
    drainEvents();

    jump(QStringLiteral("/docs"));
    EXPECT_EQ(overlay(), nullptr);
    type(QStringLiteral("zzz"));
    waitForKey(QStringLiteral("zzz"));
    ASSERT_NE(overlay(), nullptr);
    EXPECT_EQ(overlay()->descriptionLabel()->text(), QStringLiteral("没有与搜索条件匹配的项"));
    EXPECT_TRUE(overlay()->buttons().isEmpty());
}

// A lapsed plan covers the page, in its words for each kind of account, until the plan is paid.
struct LapsedAccount {
    const char* name;
    bool admin, person;
    const char* title;
    int buttons;
};

class LapsedPlan : public Search, public ::testing::WithParamInterface<LapsedAccount> {
protected:
    static void setAccount(const QVariantMap& detail) {
        ASSERT_TRUE(
            s_service->service().setAccount({QStringLiteral("1"), QStringLiteral("0"), detail}).isNull());
        relogin();
    }
    static QVariantMap paid() {
        return {{QStringLiteral("is_admin"), false}, {QStringLiteral("is_vip"), false}};
    }
    void TearDown() override {
        setAccount(paid()); // the next test signs in to a plan in force
        Search::TearDown();
    }
};

TEST_P(LapsedPlan, CoversThePageUntilPaid) {
    const LapsedAccount& c = GetParam();
    setAccount({{QStringLiteral("is_admin"), c.admin},
                {QStringLiteral("is_person"), c.person},
                {QStringLiteral("is_vip"), true},
                {QStringLiteral("expire_status"), 2}});
    jump(QStringLiteral("/docs")); // a folder with rows
    ASSERT_NE(overlay(), nullptr);
    EXPECT_EQ(overlay()->parentWidget(), page->view());
    EXPECT_EQ(overlay()->titleLabel()->text(), QString::fromUtf8(c.title));
    EXPECT_TRUE(overlay()->descriptionLabel()->isHidden());
    EXPECT_EQ(overlay()->buttons().size(), c.buttons);
    if (c.buttons) {
        EXPECT_EQ(overlay()->buttons().first()->title(), QStringLiteral("去购买"));
    }
    EXPECT_TRUE(overlay()->interceptsEvents());
    EXPECT_EQ(overlay()->geometry(), page->view()->rect());

    setAccount(paid());
    jump(QStringLiteral("/docs"));
    EXPECT_EQ(overlay(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Search, LapsedPlan,
    ::testing::Values(LapsedAccount{"Member", false, true, "您的套餐已过期, 请联系管理员续费", 0},
                      LapsedAccount{"CompanyAdministrator", true, false, "您的企业尚未购买服务套餐", 1},
                      LapsedAccount{"PersonalAccount", true, true, "您尚未购买服务套餐", 1}),
    [](const ::testing::TestParamInfo<LapsedAccount>& info) { return info.param.name; });

} // namespace
