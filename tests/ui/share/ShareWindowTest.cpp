// The share link window and its validity picker against a link of the embedded service.
#include "ShareFixture.h"
#include "support/ShellReset.h"

#include "foundation/NotificationCenter.h"
#include "kit/Pasteboard.h"
#include "service/ServiceInternal.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "shell/KZWindowsManager.h"
#include "ui/share/KZShareText.h"
#include "ui/share/KZShareValidityPeriodRows.h"
#include "ui/share/KZShareWindowControler.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QUrlQuery>
#include <QWindow>
#include <array>

using nubo::test::drainEvents;
using nubo::test::waitUntil;

namespace {

class ShareWindow : public nubo::test::ShareSuite {
protected:
    void SetUp() override {
        dict = shareFile(QStringLiteral("/docs/report %1.txt").arg(++s_count));
        share = ShareInfo::initWithDict(dict);
        window = new KZShareWindowControler(KZShareWindowControler::kClassName, share);
        window->window(); // loads and fills it
        nubo::NotificationCenter::defaultCenter().addObserver(
            &observer, KZShareText::kShareFilesReloadNotification,
            [this](const nubo::Notification&) { ++reloads; });
    }

    void TearDown() override {
        nubo::NotificationCenter::defaultCenter().removeObserver(&observer);
        delete window.data();
        service().clearFaults();
        kit::Pasteboard::general().setRefusesWritesForTesting(false);
        nubo::test::resetShell();
        drainEvents();
    }

    QString serviceField(const char* key) { return record(dict).value(QLatin1String(key)).toString(); }

    static kit::Event at(double x, double y) {
        return kit::Event(kit::Event::Type::MouseExited, QPointF(x, y));
    }

    // Chooses a row of the open pop-up as a click would.
    void choose(int row) {
        ASSERT_NE(window->shareValidityPeriodVC(), nullptr);
        window->shareValidityPeriodVC()->tableView()->selectRowIndexes(kit::IndexSet(row), false);
    }

    static inline int s_count = 0;
    QVariantMap dict;
    ShareInfoPtr share;
    QPointer<KZShareWindowControler> window;
    QObject observer;
    int reloads = 0;
};

} // namespace

TEST_F(ShareWindow, ShowsTheLinkAndItsDateAndTitle) {
    EXPECT_EQ(window->linkUrlLabel()->text(), share->linkurl());
    EXPECT_FALSE(window->startExtractionCodeView()->isHidden());
    EXPECT_TRUE(window->closeExtractionCodeView()->isHidden());
    EXPECT_EQ(window->window()->windowTitle(), QStringLiteral("分享文件：") + share->desc());
    EXPECT_EQ(window->shareExpireSwitchView()->title(), QStringLiteral("7天")); // the service's default
    // The expiry became a local date, once.
    const qint64 secs = dict.value(QStringLiteral("expire")).toLongLong();
    const QString date =
        QDateTime::fromSecsSinceEpoch(secs).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    EXPECT_EQ(share->expire(), date);
    window->reloadData();
    EXPECT_EQ(share->expire(), date);
}

// The link with its code shows whole, wrapped in its box above the code's row, never cut in the
// middle; only a link longer than two lines needs the tooltip.
TEST_F(ShareWindow, TheWholeLinkShowsWrappedNeverCutInTheMiddle) {
    KZLabel* label = window->linkUrlLabel();
    auto* box = qobject_cast<kit::View*>(label->parentWidget());
    ASSERT_TRUE(box);
    const double codeRowTop = window->closeExtractionCodeView()->top();
    for (const QString& link :
         QStringList{share->linkurl(), share->linkurl() + QStringLiteral("/and/a/longer/path/0123456789")}) {
        share->setLinkurl(link);
        window->updatePwd(QStringLiteral("ab12"));
        const QString text = link + QStringLiteral(" (提取码:ab12)");
        ASSERT_EQ(label->text(), text);
        EXPECT_FALSE(label->isTruncated()) << link.toStdString();
        const QString shown = label->displayedLines(label->width()).join(QString()).remove(u' ');
        EXPECT_EQ(shown, QString(text).remove(u' ')) << shown.toStdString();
        EXPECT_TRUE(box->bounds().contains(label->frame())) << link.toStdString();
        EXPECT_GE(box->top(), 0);
        EXPECT_LT(box->bottom(), codeRowTop);
    }
    share->setLinkurl(share->linkurl().repeated(4));
    window->updatePwd(QString());
    EXPECT_EQ(label->fullTextToolTip(), share->linkurl());
}

TEST_F(ShareWindow, SwitchingTheCodeOnStoresItShowsItAndCopiesLinkWithCode) {
    window->openExtractionCodeAction();
    ASSERT_TRUE(waitUntil([&] { return !share->password().isEmpty(); }));
    const QString code = serviceField("password");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-z]{4}$")).match(code).hasMatch())
        << code.toStdString();
    EXPECT_EQ(share->password(), code);
    const QString text = share->linkurl() + QStringLiteral(" (提取码:") + code + QStringLiteral(")");
    EXPECT_EQ(window->linkUrlLabel()->text(), text);
    EXPECT_EQ(window->extractionCodeTextField()->text(), code);
    EXPECT_FALSE(window->closeExtractionCodeView()->isHidden());
    EXPECT_TRUE(window->startExtractionCodeView()->isHidden());
    EXPECT_EQ(reloads, 1);

    window->actionCopyLink();
    EXPECT_EQ(kit::Pasteboard::general().string(), text);
    EXPECT_FALSE(window->warningView()->isHidden());
    EXPECT_EQ(window->waringLabel()->text(), QStringLiteral("复制成功"));
    EXPECT_EQ(window->warningImageView()->image().name(), QStringLiteral("common_icon_success"));
    EXPECT_GT(window->warnHideRemainingMs(), 2000);
}

TEST_F(ShareWindow, SwitchingTheCodeOffClearsItAndHintsForThreeSeconds) {
    ASSERT_TRUE(service().setSharePassword(share->shorturl(), QStringLiteral("ab12")).ok());
    share->setPassword(QStringLiteral("ab12"));
    window->reloadData();
    ASSERT_FALSE(window->closeExtractionCodeView()->isHidden());

    window->cancelExtracationCodeAction();
    EXPECT_FALSE(window->closeExtractionCodeView()->isHidden()); // until the answer
    ASSERT_TRUE(waitUntil([&] { return share->password().isEmpty(); }));
    EXPECT_EQ(serviceField("password"), QString());
    EXPECT_EQ(window->linkUrlLabel()->text(), share->linkurl());
    EXPECT_FALSE(window->startExtractionCodeView()->isHidden());
    EXPECT_FALSE(window->errorLabel()->isHidden());
    EXPECT_EQ(window->errorLabel()->text(), QStringLiteral("启用提取码，分享链接更安全"));
    const int remaining = window->errorHideRemainingMs();
    EXPECT_GT(remaining, 2000);
    EXPECT_LE(remaining, 3050);
    ASSERT_TRUE(waitUntil([&] { return window->errorLabel()->isHidden(); }, 6000));
    EXPECT_EQ(reloads, 1);
}

TEST_F(ShareWindow, ChoosingAValiditySetsTheExpiryAndMarksOnlyThatChoice) {
    window->expireDateSwitch();
    choose(0);                                           // "1天"
    EXPECT_EQ(window->shareValidityPeriodVC(), nullptr); // closed at once
    EXPECT_EQ(window->shareExpireSwitchView()->title(), QStringLiteral("1天"));
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    ASSERT_TRUE(waitUntil([&] { return reloads == 1; }));
    const qint64 expire = serviceField("expire").toLongLong();
    EXPECT_NEAR(double(expire), double(before + 86400), 5.0);
    EXPECT_EQ(share->expire(),
              QDateTime::fromSecsSinceEpoch(expire).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    QStringList marked;
    for (const auto& c : share->expireDays())
        if (c->selected())
            marked << c->expireId();
    EXPECT_EQ(marked, QStringList{QStringLiteral("1")});

    // The next pop-up marks the new choice alone; "不限" sends 0 and reads as no limit.
    window->expireDateSwitch();
    auto* table = window->shareValidityPeriodVC()->tableView();
    std::array<bool, 3> marks{};
    for (int r = 0; r < 3; ++r)
        marks[r] = !static_cast<KZShareValidityPeriodRowView*>(table->rowViewAtRow(r, true))
                        ->markImageView()
                        ->isHidden();
    EXPECT_EQ(marks, (std::array<bool, 3>{true, false, false}));
    choose(2);
    ASSERT_TRUE(waitUntil([&] { return reloads == 2; }));
    EXPECT_EQ(serviceField("expire"), QStringLiteral("0"));
    EXPECT_EQ(share->expire(), QStringLiteral("不限"));
    EXPECT_EQ(window->shareExpireSwitchView()->title(), QStringLiteral("不限"));
}

TEST_F(ShareWindow, ServiceFailuresShowTheServiceText) {
    service().failNext(nubo::ServiceOp::SetShareExpire, 1,
                       nubo::service_detail::cloudError(5001, QStringLiteral("有效期暂不能修改")));
    window->expireDateSwitch();
    choose(1);
    EXPECT_EQ(window->shareExpireSwitchView()->title(), QStringLiteral("7天"));
    ASSERT_TRUE(waitUntil([&] { return !window->errorLabel()->isHidden(); }));
    EXPECT_EQ(window->errorLabel()->text(), QStringLiteral("有效期暂不能修改"));
    service().failNext(nubo::ServiceOp::SetShareExpire, 1,
                       nubo::service_detail::cloudError(5001, QStringLiteral("有效期暂不能修改")));
    window->expireDateSwitch();
    choose(0);
    EXPECT_EQ(window->shareExpireSwitchView()->title(), QStringLiteral("1天"));
    ASSERT_TRUE(waitUntil([&] { return window->shareExpireSwitchView()->title() == QStringLiteral("7天"); }));

    service().failNext(nubo::ServiceOp::SetSharePassword, 1,
                       nubo::service_detail::cloudError(5002, QStringLiteral("提取码服务繁忙")));
    window->openExtractionCodeAction();
    ASSERT_TRUE(waitUntil([&] { return window->errorLabel()->text() == QStringLiteral("提取码服务繁忙"); }));
    EXPECT_TRUE(share->password().isEmpty());
    EXPECT_FALSE(window->startExtractionCodeView()->isHidden());
    EXPECT_EQ(reloads, 0);

    service().failNext(nubo::ServiceOp::LoginJump, 1, BWError(BWError::kDomainCloud, 9));
    window->actionJumpWebShare();
    ASSERT_TRUE(waitUntil([&] { return window->errorLabel()->text() == QStringLiteral("分享失败"); }));
}

TEST_F(ShareWindow, RefusedCopyReportsFailure) {
    kit::Pasteboard::general().setRefusesWritesForTesting(true);
    window->actionCopyLink();
    EXPECT_EQ(window->waringLabel()->text(), QStringLiteral("复制失败"));
    EXPECT_EQ(window->warningImageView()->image().name(), QStringLiteral("common_icon_error"));
    EXPECT_FALSE(window->warningView()->isHidden());
}

TEST_F(ShareWindow, WebPageOpensTheLinkThroughTheSignedAddress) {
    QUrl opened;
    KZSessionProxy::shareSessionProxy()->setUrlOpener([&](const QUrl& url) {
        opened = url;
        return true;
    });
    window->actionJumpWebShare();
    ASSERT_TRUE(waitUntil([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(QUrlQuery(opened).queryItemValue(QStringLiteral("key"), QUrl::FullyDecoded), share->linkurl())
        << opened.toString().toStdString();
    KZSessionProxy::shareSessionProxy()->setUrlOpener({});
}

TEST_F(ShareWindow, PopupStaysOnlyOnTheWayBetweenSwitchAndPopup) {
    window->expireDateSwitch();
    ASSERT_NE(window->shareValidityPeriodVC(), nullptr);
    window->expireDateSwitch(); // entering again opens no second one
    auto* first = window->shareValidityPeriodVC();
    EXPECT_EQ(first->view()->frame(), QRectF(102, KZShareWindowControler::kContentHeight - 139, 100, 130));

    // Leaving the switch downwards into the band keeps it; anywhere else closes it.
    window->leaveExpireDateSwitch(at(150, 150));
    EXPECT_EQ(window->shareValidityPeriodVC(), first);
    for (const QPointF p : {QPointF(105, 150), QPointF(200, 150), QPointF(150, 173), QPointF(150, 180)}) {
        window->expireDateSwitch();
        window->leaveExpireDateSwitch(at(p.x(), p.y()));
        EXPECT_EQ(window->shareValidityPeriodVC(), nullptr) << p.x() << "," << p.y();
    }
    // Leaving the pop-up: strictly inside x 102..200 keeps it; on either edge closes it.
    window->expireDateSwitch();
    auto* popup = window->shareValidityPeriodVC();
    popup->mouseExited(at(150, 5));
    EXPECT_EQ(window->shareValidityPeriodVC(), popup);
    popup->mouseExited(at(102, 60));
    EXPECT_EQ(window->shareValidityPeriodVC(), nullptr);
    window->expireDateSwitch();
    window->shareValidityPeriodVC()->mouseExited(at(200, 60));
    EXPECT_EQ(window->shareValidityPeriodVC(), nullptr);
}

TEST_F(ShareWindow, PickerListsFixedChoicesAndMarksOnlyWhatTheShareHolds) {
    // A share with a single choice: the other rows stay unmarked.
    auto one = std::make_shared<ShareExpireInfo>();
    one->setExpireId(QStringLiteral("7"));
    one->setSelected(true);
    share->setExpireDays({one});
    window->expireDateSwitch();
    KZShareValidityPeriodViewController* vc = window->shareValidityPeriodVC();
    auto* table = vc->tableView();
    ASSERT_EQ(table->numberOfRows(), 3);
    QStringList titles;
    std::array<bool, 3> marks{};
    for (int r = 0; r < 3; ++r) {
        auto* cell = static_cast<KZShareValidityPeriodTableCellView*>(table->viewAtColumn(0, r, true));
        titles << cell->titleLabel()->text();
        marks[r] = !static_cast<KZShareValidityPeriodRowView*>(table->rowViewAtRow(r, true))
                        ->markImageView()
                        ->isHidden();
    }
    EXPECT_EQ(titles, (QStringList{QStringLiteral("1天"), QStringLiteral("7天"), QStringLiteral("不限")}));
    EXPECT_EQ(marks, (std::array<bool, 3>{true, false, false}));

    // The pop-up's look: a white rounded panel with a shadow; rows show the pointer only.
    EXPECT_EQ(vc->view()->customBackgroundColor(), QColor(Qt::white));
    EXPECT_EQ(vc->view()->cornerRadius(), 4);
    EXPECT_TRUE(vc->view()->hasShadow());
    auto* row = static_cast<KZShareValidityPeriodRowView*>(table->rowViewAtRow(1, true));
    row->setSelected(true);
    EXPECT_EQ(row->backgroundView()->customBackgroundColor(), QColor(Qt::white));
    row->mouseEntered(at(150, 60));
    EXPECT_EQ(row->backgroundView()->customBackgroundColor(), KZStyle::VCBackgroundColor());
    row->mouseExited(at(150, 60));
    EXPECT_EQ(row->backgroundView()->customBackgroundColor(), QColor(Qt::white));
}

TEST_F(ShareWindow, ASecondMessageGetsItsFullTime) {
    window->showErrorLabel(QStringLiteral("一"));
    ASSERT_TRUE(waitUntil([&] { return window->errorHideRemainingMs() < 2500; }, 3000));
    window->showErrorLabel(QStringLiteral("二"));
    EXPECT_GT(window->errorHideRemainingMs(), 2800);
    EXPECT_EQ(window->errorLabel()->text(), QStringLiteral("二"));
    window->showWarnLabel();
    ASSERT_TRUE(waitUntil([&] { return window->warnHideRemainingMs() < 2500; }, 3000));
    window->showWarnLabel();
    EXPECT_GT(window->warnHideRemainingMs(), 2800);
}

TEST_F(ShareWindow, RouterMakesTheWindowOnlyForALink) {
    KZShareWindowControler::registerWithRouter();
    auto& router = KZRouter::shareInstance();
    EXPECT_EQ(router.entityWithClass(KZShareWindowControler::kClassName), nullptr);
    QPointer<KZShareWindowControler> made = router.entityWithClass<KZShareWindowControler>(
        KZShareWindowControler::kClassName,
        {{KZShareWindowControler::kShareInfoParam, QVariant::fromValue(share)}});
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->shareInfo(), share); // the caller's record, shared
    // Once shown and closed it goes by itself.
    made->setPresenting(true);
    KZWindowsManager::shareInstance().presentWindowController(made);
    ASSERT_TRUE(waitUntil([&] { return made && made->window()->isVisible(); }));
    made->closeWindow();
    ASSERT_TRUE(waitUntil([&] { return made.isNull(); }));

    // Escape closes it as well.
    made = router.entityWithClass<KZShareWindowControler>(
        KZShareWindowControler::kClassName,
        {{KZShareWindowControler::kShareInfoParam, QVariant::fromValue(share)}});
    ASSERT_NE(made, nullptr);
    made->setPresenting(true);
    KZWindowsManager::shareInstance().presentWindowController(made);
    ASSERT_TRUE(waitUntil([&] { return made && made->window()->isActiveWindow(); }));
    QTest::keyClick(made->window()->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return made.isNull(); }));
}

TEST(ShareTexts, ExpiryReadsAsADateOrNoLimit) {
    const QString date =
        QDateTime::fromSecsSinceEpoch(1700000000).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    EXPECT_EQ(KZShareText::expireText(QStringLiteral("1700000000")), date);
    EXPECT_EQ(KZShareText::expireText(date), date);
    EXPECT_EQ(KZShareText::expireText(QStringLiteral("0")), QStringLiteral("不限"));
    EXPECT_EQ(KZShareText::expireText(QStringLiteral("never")), QStringLiteral("never"));
}

TEST(ShareCode, CodesAreUniformOverTheAlphabet) {
    const QString alphabet = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz");
    std::array<qint64, 36> counts{};
    QSet<QString> distinct;
    const int n = 100000;
    for (int i = 0; i < n; ++i) {
        const QString code = KZShareWindowControler::generateTradeNO();
        ASSERT_EQ(code.size(), 4);
        for (QChar c : code) {
            const qsizetype k = alphabet.indexOf(c);
            ASSERT_GE(k, 0) << code.toStdString();
            ++counts[k];
        }
        if (i < 1000)
            distinct.insert(code);
    }
    // Codes made within the same moment differ (a collision among 1000 is about 30% likely at
    // 36^4 codes, two or more are rare; a clock-seeded generator gives one code for all).
    EXPECT_GE(distinct.size(), 995);
    const double expected = 4.0 * n / 36;
    double chi2 = 0;
    for (qint64 c : counts)
        chi2 += (c - expected) * (c - expected) / expected;
    EXPECT_LT(chi2, 66.62) << "chi-square over 35 degrees of freedom at the 0.001 level";
}

// What the window shows (its backing store, not a fresh rendering): the choices are painted as
// the pop-up fades in, not only once the pointer passes over each row.
TEST_F(ShareWindow, ThePopupShowsItsChoicesAsItAppears) {
    window->window()->show();
    drainEvents();
    window->expireDateSwitch();
    KZShareValidityPeriodViewController* vc = window->shareValidityPeriodVC();
    ASSERT_NE(vc, nullptr);
    ASSERT_TRUE(waitUntil([&] { return vc->view()->alphaValue() >= 1; }));
    drainEvents();
    const QImage shown = QGuiApplication::primaryScreen()->grabWindow(window->window()->winId()).toImage();
    const QRect rows = vc->tableView()->geometry().translated(vc->view()->pos());
    int ink = 0; // pixels of the choices' text
    for (int y = rows.top(); y <= rows.bottom(); ++y)
        for (int x = rows.left(); x <= rows.right(); ++x)
            if (qGray(shown.pixel(x, y)) < 160)
                ++ink;
    EXPECT_GT(ink, 30);
}
