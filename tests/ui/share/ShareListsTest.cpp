// The share page with its two link lists, against 2,500 links of the embedded service (three
// pages of its list).
#include "ShareFixture.h"
#include "support/ToastRecord.h"
#include "ui/common/MenuFits.h"

#include "foundation/NotificationCenter.h"
#include "kit/Pasteboard.h"
#include "kit/Window.h"
#include "service/ServiceInternal.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZShortcutKeysManager.h"
#include "shell/KZToast.h"
#include "ui/share/KZShareFilesViewController.h"
#include "ui/share/KZShareText.h"

#include <QDateTime>
#include <QTest>

using nubo::test::drainEvents;
using nubo::test::waitUntil;

namespace {

constexpr int kLinks = 2500;
// Every 100th link cancelled and every 100th (offset 50) expired: 25 of each; link 7 has no
// time limit.
char kindOf(int i) {
    if (i % 100 == 0)
        return 'c';
    if (i % 100 == 50)
        return 'e';
    return i == 7 ? 'u' : 'v';
}
constexpr int kValid = kLinks - 50;
constexpr int kInvalid = 50;

class SharePage : public nubo::test::ShareSuite {
protected:
    void SetUp() override {
        seedShares(kLinks, kindOf);
        page = new KZShareFilesViewController;
        window = new kit::Window;
        window->setContentSize(QSizeF(1000, 640));
        window->contentView()->addSubview(page->view());
        page->view()->setFrame(window->contentView()->bounds());
        window->show();
        ASSERT_TRUE(waitUntil([&] { return valid()->shareList().size() == kValid; }, 20000));
        drainEvents();
    }

    void TearDown() override {
        delete window;
        delete page;
        service().clearFaults();
        drainEvents();
    }

    KZShareValidFilesViewController* valid() const { return page->validShareVC(); }
    KZShareInvalidFilesViewController* invalid() const { return page->invalidShareVC(); }

    void showInvalidTab() {
        page->segmentControl()->selectSegmentAtIndex(1);
        ASSERT_TRUE(waitUntil([&] { return !invalid()->refreshProgressIndicator()->isAnimating(); }, 20000));
        ASSERT_FALSE(invalid()->shareList().isEmpty());
    }
    // Waits until the list's running fetches are answered.
    static void settle(KZShareListViewController* list) {
        ASSERT_TRUE(waitUntil([&] { return !list->refreshProgressIndicator()->isAnimating(); }, 20000));
    }
    static QString cellText(KZShareListViewController* list, const QString& column, int row) {
        const int c = list->tableView()->columnWithIdentifier(column);
        auto* cell = dynamic_cast<KZShareLabelCellView*>(list->tableView()->viewAtColumn(c, row, true));
        return cell ? cell->stringValue() : QStringLiteral("<none>");
    }
    static QStringList shortUrls(const QList<ShareInfoPtr>& shares) {
        QStringList out;
        for (const auto& s : shares)
            out << s->shorturl();
        return out;
    }
    QStringList serviceShortUrls(bool working) {
        QStringList out;
        for (int start = 0;; start += 1000) {
            auto page = service().listShares(start, 1000);
            EXPECT_TRUE(page.ok());
            for (const QVariant& v : page.value)
                if ((v.toMap().value(QStringLiteral("status")).toString() == QStringLiteral("0")) == working)
                    out << v.toMap().value(QStringLiteral("shorturl")).toString();
            if (page.value.size() < 1000)
                break;
        }
        return out;
    }
    static QString toastText(KZShareListViewController* list) {
        KZToastView* toast = KZToast::toastOf(list->view());
        return toast ? toast->text() : QString();
    }

    KZShareFilesViewController* page = nullptr;
    kit::Window* window = nullptr;
    nubo::test::ToastRecord toasts;
};

} // namespace

TEST_F(SharePage, ValidTabListsWorkingLinksNewestFirst) {
    const QList<ShareInfoPtr>& rows = valid()->shareList();
    EXPECT_EQ(page->selectedTabIndex(), 0);
    EXPECT_EQ(rows.first()->shorturl(), QStringLiteral("seed2499"));
    EXPECT_EQ(rows.last()->shorturl(), QStringLiteral("seed1"));
    EXPECT_EQ(shortUrls(rows), serviceShortUrls(true));
    EXPECT_EQ(valid()->tableView()->numberOfRows(), kValid);
    EXPECT_EQ(valid()->homeToolBarMessage(), QStringLiteral("共%1个有效链接").arg(kValid));

    // Cells: the extraction code, the expiry as a date, "不限" for no limit, the folder.
    EXPECT_EQ(cellText(valid(), QStringLiteral("TableColumnSharePassword"), 0), QStringLiteral("-"));
    const QString date = cellText(valid(), QStringLiteral("TableColumnShareExpire"), 0);
    EXPECT_TRUE(QDateTime::fromString(date, QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid())
        << date.toStdString();
    const int row7 = int(shortUrls(rows).indexOf(QStringLiteral("seed7")));
    EXPECT_EQ(cellText(valid(), QStringLiteral("TableColumnShareExpire"), row7), QStringLiteral("不限"));
    EXPECT_EQ(cellText(valid(), QStringLiteral("TableColumnShareFilePath"), 0), QStringLiteral("seed"));
    EXPECT_EQ(cellText(valid(), QStringLiteral("TableColumnShareFileName"), 0),
              QStringLiteral("seed2499.txt"));

    // The header box follows select-all and a single unchecked row.
    valid()->didPressCmdA();
    EXPECT_TRUE(valid()->tableHeaderView()->isSelected());
    EXPECT_EQ(valid()->homeToolBarMessage(), QStringLiteral("已选中%1个有效链接").arg(kValid));
    valid()->tableViewRowViewDidCheckBoxSelected(
        static_cast<KZTableViewRowView*>(valid()->tableView()->rowViewAtRow(0, false)), false);
    EXPECT_FALSE(valid()->tableHeaderView()->isSelected());
    EXPECT_EQ(valid()->selectedShareInfos().size(), kValid - 1);
    EXPECT_FALSE(rows.first()->selected());
    valid()->deselectAllRows();
    valid()->tableView()->selectRowIndexes(kit::IndexSet(row7), false);
    EXPECT_EQ(valid()->homeToolBarMessage(), QStringLiteral("seed7.txt  有效期至：不限"));
}

TEST_F(SharePage, InvalidTabListsCancelledAndExpiredLinksWithTheirTexts) {
    showInvalidTab();
    const QList<ShareInfoPtr>& rows = invalid()->shareList();
    ASSERT_EQ(rows.size(), kInvalid);
    EXPECT_EQ(shortUrls(rows), serviceShortUrls(false));
    EXPECT_EQ(rows.first()->shorturl(), QStringLiteral("seed2500"));
    EXPECT_EQ(cellText(invalid(), QStringLiteral("TableColumnShareStatus"), 0), QStringLiteral("已取消"));
    EXPECT_EQ(cellText(invalid(), QStringLiteral("TableColumnShareStatus"), 1), QStringLiteral("已过期"));
    EXPECT_EQ(invalid()->homeToolBarMessage(), QStringLiteral("共%1个失效链接").arg(kInvalid));
    EXPECT_FALSE(invalid()->toolBar()->viewOfItem(invalid()->deleteShareItem())->enable());
    EXPECT_TRUE(invalid()->toolBar()->viewOfItem(invalid()->clearShareItem())->enable());
    invalid()->tableView()->selectRowIndexes(kit::IndexSet(1), false);
    EXPECT_EQ(invalid()->homeToolBarMessage(), QStringLiteral("seed2450.txt  状态：已过期"));
}

TEST_F(SharePage, CancellingRemovesExactlyTheSentLinksAndMovesThemToTheInvalidTab) {
    valid()->tableView()->selectRowIndexes(kit::IndexSet{0, 1}, false);
    const QStringList sent = shortUrls(valid()->selectedShareInfos());
    valid()->cancelShare();
    EXPECT_EQ(toastText(valid()), QStringLiteral("正在取消分享"));
    // The user selects another link before the answer: it stays.
    valid()->tableView()->selectRowIndexes(kit::IndexSet(5), false);
    const QString other = valid()->selectedShareInfos().first()->shorturl();
    ASSERT_TRUE(waitUntil([&] { return valid()->shareList().size() == kValid - 2; }));
    EXPECT_FALSE(shortUrls(valid()->shareList()).contains(sent[0]));
    EXPECT_FALSE(shortUrls(valid()->shareList()).contains(sent[1]));
    EXPECT_TRUE(shortUrls(valid()->shareList()).contains(other));
    EXPECT_TRUE(valid()->selectedShareInfos().isEmpty());
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("取消成功")));

    showInvalidTab();
    EXPECT_EQ(invalid()->shareList().size(), kInvalid + 2);
    EXPECT_TRUE(shortUrls(invalid()->shareList()).contains(sent[0]));
    EXPECT_TRUE(shortUrls(invalid()->shareList()).contains(sent[1]));
}

TEST_F(SharePage, APartialFailureFetchesTheListAgain) {
    valid()->tableView()->selectRowIndexes(kit::IndexSet{0, 1, 2}, false);
    const QStringList sent = shortUrls(valid()->selectedShareInfos());
    // The second link vanishes in the service meanwhile: the run cancels the first, stops there.
    ASSERT_TRUE(service().deleteShare(sent[1]).isNull());
    valid()->cancelShare();
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("分享链接不存在")));
    settle(valid());
    const QStringList now = shortUrls(valid()->shareList());
    EXPECT_FALSE(now.contains(sent[0]));
    EXPECT_FALSE(now.contains(sent[1]));
    EXPECT_TRUE(now.contains(sent[2]));
    EXPECT_EQ(now, serviceShortUrls(true));

    // A single link that fails changes nothing.
    service().failNext(nubo::ServiceOp::CancelShare, 1, nubo::service_detail::cloudError(5003, {}));
    valid()->tableView()->selectRowIndexes(kit::IndexSet(0), false);
    const ShareInfoPtr chosen = valid()->selectedShareInfos().first();
    valid()->cancelShare();
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("取消失败，请重试")));
    EXPECT_EQ(valid()->selectedShareInfos(), QList<ShareInfoPtr>{chosen});
    EXPECT_EQ(valid()->shareList().size(), now.size());
}

TEST_F(SharePage, ClearingDeletesEveryLapsedRecordAndLeavesTheUsersSelectionAlone) {
    showInvalidTab();
    invalid()->tableView()->selectRowIndexes(kit::IndexSet(3), false);
    const ShareInfoPtr chosen = invalid()->selectedShareInfos().first();

    // A clear that fails keeps the user's one selected link, not all of them.
    service().failNext(nubo::ServiceOp::DeleteShare, 1,
                       nubo::service_detail::cloudError(5004, QStringLiteral("删除暂不可用")));
    invalid()->clearShare();
    EXPECT_EQ(invalid()->selectedShareInfos(), QList<ShareInfoPtr>{chosen});
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("删除暂不可用")));
    settle(invalid());
    invalid()->tableView()->selectRowIndexes(kit::IndexSet(3), false);
    EXPECT_EQ(invalid()->selectedShareInfos().size(), 1);
    invalid()->deleteShare(); // deletes that one only
    ASSERT_TRUE(waitUntil([&] { return invalid()->shareList().size() == kInvalid - 1; }));
    EXPECT_EQ(serviceShortUrls(false).size(), kInvalid - 1);

    invalid()->clearShare();
    EXPECT_EQ(toastText(invalid()), QStringLiteral("正在清除链接"));
    ASSERT_TRUE(waitUntil([&] { return invalid()->shareList().isEmpty(); }, 20000));
    EXPECT_TRUE(serviceShortUrls(false).isEmpty());
    EXPECT_EQ(serviceShortUrls(true).size(), kValid);
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("删除成功")));
    // The empty state shows in the table's area, clear of the right edge.
    EXPECT_FALSE(invalid()->toolBar()->viewOfItem(invalid()->clearShareItem())->enable());
    EXPECT_FALSE(invalid()->toolBar()->viewOfItem(invalid()->deleteShareItem())->enable());
    KZMessageSetView* empty = KZMessageSet::messageSetViewOf(invalid()->view());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->parentWidget(), invalid()->tableView());
    EXPECT_EQ(empty->descriptionLabel()->text(), QStringLiteral("暂无失效链接"));
    EXPECT_EQ(invalid()->insetsForMessageSetView(invalid()->view()),
              QMargins(0, int(invalid()->tableView()->headerHeight()), 100, 0));
    EXPECT_EQ(invalid()->homeToolBarMessage(), QStringLiteral("共0个失效链接"));
}

// A cancel or a delete that succeeds while a list fetch is out: the fetch has already replaced
// the rows with new records of the same links, and the links still leave the list.
TEST_F(SharePage, LinksLeaveWhenTheirCancelSucceedsWhileAFetchIsOut) {
    auto fetchHeldThen = [&](KZShareListViewController* list, const std::function<void()>& act) {
        service().setHeld(nubo::ServiceOp::ListShares, true);
        list->requestShareList();
        ASSERT_TRUE(waitUntil([&] { return service().heldCalls(nubo::ServiceOp::ListShares) == 1; }));
        act(); // queued behind the fetch: the fetch answers first, then the cancel
        service().setHeld(nubo::ServiceOp::ListShares, false);
    };
    valid()->tableView()->selectRowIndexes(kit::IndexSet{0, 1}, false);
    const QStringList sent = shortUrls(valid()->selectedShareInfos());
    fetchHeldThen(valid(), [&] { valid()->cancelShare(); });
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("取消成功")));
    settle(valid());
    EXPECT_FALSE(shortUrls(valid()->shareList()).contains(sent[0]));
    EXPECT_FALSE(shortUrls(valid()->shareList()).contains(sent[1]));
    EXPECT_EQ(valid()->shareList().size(), kValid - 2);
    EXPECT_EQ(valid()->tableView()->numberOfRows(), kValid - 2);
    EXPECT_EQ(valid()->homeToolBarMessage(), QStringLiteral("共%1个有效链接").arg(kValid - 2));

    showInvalidTab();
    fetchHeldThen(invalid(), [&] { invalid()->clearShare(); });
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("删除成功")));
    settle(invalid());
    EXPECT_TRUE(invalid()->shareList().isEmpty());
    EXPECT_EQ(invalid()->tableView()->numberOfRows(), 0);
    EXPECT_EQ(invalid()->homeToolBarMessage(), QStringLiteral("共0个失效链接"));
    // Over no links the select-all box is neither ticked nor offered.
    EXPECT_FALSE(invalid()->tableHeaderView()->isSelected());
    EXPECT_FALSE(invalid()->tableHeaderView()->isEnable());
    invalid()->selectAllRows();
    invalid()->deselectAllRows();
    EXPECT_FALSE(invalid()->tableHeaderView()->isSelected());
    // Links again: the box is offered again.
    ASSERT_TRUE(service().cancelShare(QStringLiteral("seed1")).isNull());
    page->didPressCmdR();
    settle(invalid());
    ASSERT_EQ(invalid()->shareList().size(), 1);
    EXPECT_TRUE(invalid()->tableHeaderView()->isEnable());
    EXPECT_FALSE(invalid()->tableHeaderView()->isSelected());
}

TEST_F(SharePage, CopyPutsTheExactLinkTextOnThePasteboard) {
    ASSERT_TRUE(service().setSharePassword(QStringLiteral("seed2499"), QStringLiteral("k9z2")).ok());
    page->didPressCmdR();
    settle(valid());
    valid()->tableView()->selectRowIndexes(kit::IndexSet(0), false);
    valid()->didPressCmdC();
    const ShareInfoPtr first = valid()->shareList().first();
    EXPECT_EQ(kit::Pasteboard::general().string(), first->linkurl() + QStringLiteral(" (提取码:k9z2)"));
    EXPECT_EQ(cellText(valid(), QStringLiteral("TableColumnSharePassword"), 0), QStringLiteral("k9z2"));
    valid()->tableView()->selectRowIndexes(kit::IndexSet(1), false);
    valid()->copyShare();
    EXPECT_EQ(kit::Pasteboard::general().string(), valid()->shareList().at(1)->linkurl());
    EXPECT_EQ(toastText(valid()), QStringLiteral("复制成功"));
    kit::Pasteboard::general().setRefusesWritesForTesting(true);
    valid()->copyShare();
    kit::Pasteboard::general().setRefusesWritesForTesting(false);
    EXPECT_EQ(toastText(valid()), QStringLiteral("复制失败"));
}

TEST_F(SharePage, TheRefreshControlComesBackWithTheLastOfOverlappingFetches) {
    // The first call fails; the other fetch waits at the gate until the failure has been shown.
    service().setHeldAfter(nubo::ServiceOp::ListShares, 1);
    service().failNext(nubo::ServiceOp::ListShares, 1,
                       nubo::service_detail::cloudError(5005, QStringLiteral("列表暂不可用")));
    valid()->requestShareList();
    valid()->requestShareList();
    EXPECT_TRUE(valid()->refreshButton()->isHidden());
    // The failed answer leaves the spinner running; the last one brings the button back.
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("列表暂不可用"), 20000));
    drainEvents();
    EXPECT_TRUE(valid()->refreshProgressIndicator()->isAnimating());
    EXPECT_TRUE(valid()->refreshButton()->isHidden());
    service().setHeld(nubo::ServiceOp::ListShares, false);
    ASSERT_TRUE(waitUntil([&] { return !valid()->refreshProgressIndicator()->isAnimating(); }, 20000));
    EXPECT_FALSE(valid()->refreshButton()->isHidden());
}

TEST_F(SharePage, MenusOfferWhatTheSelectionAllows) {
    auto rowView = [](KZShareListViewController* list, int r) {
        return static_cast<KZTableViewRowView*>(list->tableView()->rowViewAtRow(r, false));
    };
    const kit::Event click(kit::Event::Type::RightMouseUp, QPointF(300, 400));
    auto titles = [](KZShareListViewController* list) {
        QStringList out;
        for (const auto& item : list->fileOperateMenu()->dataArray())
            out << item->title();
        return out;
    };
    valid()->tableView()->selectRowIndexes(kit::IndexSet{1, 2}, false);
    valid()->fileRowViewRightMouseUp(rowView(valid(), 4), click);
    EXPECT_EQ(shortUrls(valid()->selectedShareInfos()), QStringList{valid()->shareList().at(4)->shorturl()});
    EXPECT_EQ(titles(valid()), (QStringList{QStringLiteral("查看链接"), QStringLiteral("复制链接"),
                                            QStringLiteral("取消分享"), QStringLiteral("打开所在位置")}));
    EXPECT_TRUE(nubo::test::menuShowsEveryTitleWhole(valid()->fileOperateMenu()));
    valid()->closeFileOperateMenu();
    valid()->tableView()->selectRowIndexes(kit::IndexSet{1, 2}, false);
    valid()->fileRowViewRightMouseUp(rowView(valid(), 2), click);
    EXPECT_EQ(valid()->selectedShareInfos().size(), 2);
    EXPECT_EQ(titles(valid()), (QStringList{QStringLiteral("取消分享"), QStringLiteral("打开所在位置")}));
    valid()->closeFileOperateMenu();

    showInvalidTab();
    invalid()->fileRowViewRightMouseUp(rowView(invalid(), 0), click);
    EXPECT_EQ(invalid()->selectedShareInfos().size(), 1);
    EXPECT_EQ(titles(invalid()), QStringList{QStringLiteral("删除")});
}

TEST_F(SharePage, ReloadsFollowTheShownTabAndOnlyWhileShown) {
    // Ctrl+R reloads the tab that is shown.
    showInvalidTab();
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(invalid()->refreshProgressIndicator()->isAnimating());
    EXPECT_FALSE(valid()->refreshProgressIndicator()->isAnimating());
    settle(invalid());
    nubo::NotificationCenter::defaultCenter().post(KZShareText::kShareFilesReloadNotification);
    EXPECT_TRUE(invalid()->refreshProgressIndicator()->isAnimating());
    settle(invalid());

    // Hidden, the page fetches nothing; shown again, it is back on the valid tab, reloading it.
    window->hide();
    drainEvents();
    nubo::NotificationCenter::defaultCenter().post(KZShareText::kShareFilesReloadNotification);
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    EXPECT_FALSE(invalid()->refreshProgressIndicator()->isAnimating());
    EXPECT_FALSE(valid()->refreshProgressIndicator()->isAnimating());
    window->show();
    EXPECT_EQ(page->selectedTabIndex(), 0);
    EXPECT_EQ(page->segmentControl()->selectedSegmentIndex(), 0);
    EXPECT_TRUE(valid()->refreshProgressIndicator()->isAnimating());
    EXPECT_FALSE(invalid()->refreshProgressIndicator()->isAnimating());
    EXPECT_FALSE(invalid()->view()->isVisible());
    settle(valid());
}

TEST_F(SharePage, ALapsedPlanCoversThePage) {
    auto account = service().account().value;
    const auto plain = account;
    for (const bool admin : {false, true}) {
        account.userDetail.insert(QStringLiteral("is_vip"), true);
        account.userDetail.insert(QStringLiteral("expire_status"), 2);
        account.userDetail.insert(QStringLiteral("is_admin"), admin);
        account.userDetail.insert(QStringLiteral("is_person"), false);
        ASSERT_TRUE(service().setAccount(account).isNull());
        login();
        window->hide();
        window->show();
        settle(valid());
        EXPECT_EQ(page->contentView()->alphaValue(), 0.0);
        KZMessageSetView* cover = KZMessageSet::messageSetViewOf(page->view());
        ASSERT_NE(cover, nullptr);
        EXPECT_TRUE(cover->interceptsEvents());
        EXPECT_EQ(cover->buttons().size(), admin ? 1 : 0);
        if (admin) {
            EXPECT_EQ(cover->buttons().first()->title(), QStringLiteral("去购买"));
        }
    }
    ASSERT_TRUE(service().setAccount(plain).isNull());
    login();
    window->hide();
    window->show();
    settle(valid());
    EXPECT_EQ(page->contentView()->alphaValue(), 1.0);
    EXPECT_EQ(KZMessageSet::messageSetViewOf(page->view()), nullptr);
}
