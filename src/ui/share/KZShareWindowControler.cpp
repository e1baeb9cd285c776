#include "ui/share/KZShareWindowControler.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/NotificationCenter.h"
#include "kit/ImageView.h"
#include "kit/Pasteboard.h"
#include "kit/Window.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "ui/share/KZShareLabelLayout.h"
#include "ui/share/KZShareText.h"

#include <QRandomGenerator>
#include <QVariantAnimation>
#include <cmath>

namespace {

const QString kExpireIdKey = QStringLiteral("expireId");
constexpr double kRowLeft = 24;
constexpr double kValueLeft = 102;
constexpr double kRowHeight = 36;
constexpr double kLinkRowTop = 20;
constexpr int kLinkLines = 2;
// The pop-up's frame from the bottom-left of the content view, and the band below the switch
// through which the pointer may move onto it.
const QRectF kPopupFrameFromBottom(102, 9, 100, 130);
constexpr double kSwitchLeaveMinX = 105;
constexpr double kSwitchLeaveMaxX = 200;
constexpr double kSwitchLeaveMaxY = 173;

// A one-line label centred in the row `frame` (labels draw from their top).
KZLabel* makeLabel(kit::View* parent, const QRectF& frame, const QString& text, const QColor& color) {
    const QFont font = KZStyle::fontOfSize(14);
    auto* label = new KZLabel(
        KZShareLabelLayout::centredLine(font, frame.x(), frame.y(), frame.width(), frame.height()), parent);
    label->setFont(font);
    label->setTextColor(color);
    label->setText(text);
    return label;
}

KZButton* makeButton(kit::View* parent, const QRectF& frame, const QString& title) {
    auto* button = new KZButton(frame, parent);
    button->setFont(KZStyle::fontOfSize(14));
    button->setTitle(title);
    return button;
}

// Fades a view in or out over the pop-up's animation time; `done` runs at the end.
void fade(kit::View* view, bool in, std::function<void()> done = {}) {
    auto* animation = new QVariantAnimation(view);
    animation->setDuration(KZShareWindowControler::kPopupAnimationMs);
    animation->setStartValue(in ? 0.0 : view->alphaValue());
    animation->setEndValue(in ? 1.0 : 0.0);
    QObject::connect(animation, &QVariantAnimation::valueChanged, view,
                     [view](const QVariant& v) { view->setAlphaValue(v.toDouble()); });
    QObject::connect(animation, &QVariantAnimation::finished, view, [done = std::move(done)] {
        if (done)
            done();
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace

void KZShareWindowControler::registerWithRouter() {
    KZRouter::shareInstance().registerEntityInitializer(
        KZInitializer(kClassName, [](const QVariantMap& params) -> QObject* {
            const auto share = params.value(kShareInfoParam).value<ShareInfoPtr>();
            if (!share)
                return nullptr; // a window needs a link to show
            return new KZShareWindowControler(kClassName, share);
        }));
}

KZShareWindowControler::KZShareWindowControler(const QString& windowNibName, const ShareInfoPtr& shareInfo,
                                               QObject* parent)
    : KZBaseWindowController(windowNibName, parent), m_shareInfo(shareInfo) {
    m_warnTimer.setSingleShot(true);
    m_warnTimer.setTimerType(Qt::PreciseTimer);
    m_warnTimer.setInterval(kMessageHideMs);
    connect(&m_warnTimer, &QTimer::timeout, this, [this] { hideWarnLabel(); });
    m_errorTimer.setSingleShot(true);
    m_errorTimer.setTimerType(Qt::PreciseTimer);
    m_errorTimer.setInterval(kMessageHideMs);
    connect(&m_errorTimer, &QTimer::timeout, this, [this] { hideErrorLabel(); });
}

KZShareWindowControler::~KZShareWindowControler() = default;

void KZShareWindowControler::loadWindow() {
    auto* w = new kit::Window;
    w->setContentSize(QSizeF(kContentWidth, kContentHeight));
    w->setFixedSize(int(kContentWidth), int(kContentHeight));
    auto* content = w->contentView();
    content->setFrame(QRectF(0, 0, kContentWidth, kContentHeight)); // also while not yet shown
    content->setCustomBackgroundColor(Qt::white);

    const QColor title = KZStyle::titleColor();
    m_sharelinkLabel =
        makeLabel(content, QRectF(kRowLeft, kLinkRowTop, 70, kRowHeight), QStringLiteral("分享链接"), title);
    m_linkUrlLabelContainer = new kit::View(QRectF(kValueLeft, kLinkRowTop, 354, kRowHeight), content);
    m_linkUrlLabel = makeLabel(m_linkUrlLabelContainer, QRectF(12, 0, 330, kRowHeight), {}, title);
    // The link is what the user copies and reads out: it wraps onto a second line rather than
    // losing its middle; a link longer still shows whole in a tooltip.
    m_linkUrlLabel->setLineBreakMode(kit::LineBreakMode::WordWrap);
    m_linkUrlLabel->setNumberOfLines(kLinkLines);
    m_linkUrlLabel->setShowsFullTextInToolTip(true);

    m_extractionCodeLabel =
        makeLabel(content, QRectF(kRowLeft, 72, 70, kRowHeight), QStringLiteral("提取码"), title);
    m_closeExtractionCodeView = new kit::View(QRectF(kValueLeft, 72, 354, kRowHeight), content);
    m_extractionCodeContainer = new kit::View(QRectF(0, 0, 80, kRowHeight), m_closeExtractionCodeView);
    m_extractionCodeTextField =
        makeLabel(m_extractionCodeContainer, QRectF(12, 0, 60, kRowHeight), {}, title);
    m_cancelExtractionCodeButton =
        makeButton(m_closeExtractionCodeView, QRectF(92, 0, 90, kRowHeight), QStringLiteral("取消提取码"));
    m_cancelExtractionCodeButton->setAction(this, [this](KZButton*) { cancelExtracationCodeAction(); });

    m_startExtractionCodeView = new kit::View(QRectF(kValueLeft, 72, 354, kRowHeight), content);
    m_startExtractionCodeLabel = makeLabel(m_startExtractionCodeView, QRectF(0, 0, 180, kRowHeight),
                                           QStringLiteral("未设置提取码"), KZStyle::darkGray2Color());
    m_startExtractionCodeButton =
        makeButton(m_startExtractionCodeView, QRectF(100, 0, 90, kRowHeight), QStringLiteral("设置提取码"));
    m_startExtractionCodeButton->setAction(this, [this](KZButton*) { openExtractionCodeAction(); });

    m_errorLabel = new KZLabel(QRectF(kValueLeft, 112, 354, 28), content);
    m_errorLabel->setFont(KZStyle::fontOfSize(12));
    m_errorLabel->setTextColor(KZStyle::warningColor());
    m_errorLabel->hide();

    m_validityPeriodView = new kit::View(QRectF(0, 155, kContentWidth, kRowHeight), content);
    m_validityPeriodLabel =
        makeLabel(m_validityPeriodView, QRectF(kRowLeft, 0, 70, kRowHeight), QStringLiteral("有效期"), title);
    m_shareExpireSwitchView = new KZShareExpireSwitchView(m_validityPeriodView);
    m_shareExpireSwitchView->setFrame(QRectF(kValueLeft, 0, 100, kRowHeight));

    m_warningView = new kit::View(QRectF(236, 224, 220, kRowHeight), content);
    m_warningImageView = new kit::ImageView(m_warningView);
    m_warningImageView->setFrame(QRectF(0, 10, 16, 16));
    m_waringLabel = makeLabel(m_warningView, QRectF(22, 0, 190, kRowHeight), {}, title);
    m_warningView->hide();

    m_jumpShareLinkButton =
        makeButton(content, QRectF(236, 270, 110, kRowHeight), QStringLiteral("在网页中查看"));
    m_jumpShareLinkButton->setAction(this, [this](KZButton*) { actionJumpWebShare(); });
    m_shareLinkButton = makeButton(content, QRectF(356, 270, 100, kRowHeight), QStringLiteral("复制链接"));
    m_shareLinkButton->setAction(this, [this](KZButton*) { actionCopyLink(); });
    setWindow(w);
}

void KZShareWindowControler::windowDidLoad() {
    KZBaseWindowController::windowDidLoad();
    setShowWindowCloseButtonOnly(true);
    configureUI();
    reloadData();
}

void KZShareWindowControler::windowDidDisappear() {
    KZBaseWindowController::windowDidDisappear();
    closeShareValidityPeriodVC();
    deleteLater(); // each link gets a new window; this one is done
}

void KZShareWindowControler::windowCancel(kit::Window*) {
    closeWindow();
}

void KZShareWindowControler::configureUI() {
    const QColor tint = KZStyle::tabbarTintColor();
    m_linkUrlLabelContainer->setCustomBackgroundColor(KZStyle::VCBackgroundColor());
    m_linkUrlLabelContainer->setCornerRadius(4);
    m_extractionCodeContainer->setCornerRadius(4);
    m_extractionCodeContainer->setCustomBackgroundColor(KZStyle::VCBackgroundColor());
    for (KZButton* b :
         {m_cancelExtractionCodeButton.data(), m_startExtractionCodeButton, m_jumpShareLinkButton.data()}) {
        b->setTitleNormalColor(tint);
        b->setTitleHighlightColor(tint);
    }
    m_shareLinkButton->setCornerRadius(4);
    m_shareLinkButton->setBackgroundColor(tint);
    m_shareLinkButton->setTitleNormalColor(Qt::white);
    m_shareLinkButton->setTitleHighlightColor(Qt::white);
    m_shareExpireSwitchView->setDelegate(this);
}

void KZShareWindowControler::showLinkText() {
    m_linkUrlLabel->setText(KZShareText::linkText(*m_shareInfo));
    hiddenExtracationCode(m_shareInfo->password().isEmpty());
    m_extractionCodeTextField->setText(m_shareInfo->password());
    layoutLinkText();
    KZShareLabelLayout::centreOnText(m_extractionCodeTextField, 12, 0,
                                     m_extractionCodeContainer->width() - 24, kRowHeight);
}

void KZShareWindowControler::layoutLinkText() {
    // The box grows about the caption's row for a second line, short of the code's row.
    const double width = m_linkUrlLabelContainer->width() - 24;
    const double textHeight = std::ceil(m_linkUrlLabel->sizeThatFits(QSizeF(width, 0)).height());
    const double boxHeight = std::max(kRowHeight, textHeight + 8);
    m_linkUrlLabelContainer->setFrame(QRectF(kValueLeft, kLinkRowTop + (kRowHeight - boxHeight) / 2,
                                             m_linkUrlLabelContainer->width(), boxHeight));
    m_linkUrlLabel->setFrame(QRectF(12, (boxHeight - textHeight) / 2, width, textHeight));
}

void KZShareWindowControler::reloadData() {
    if (!m_shareInfo || !isWindowLoaded())
        return;
    m_shareInfo->setExpire(KZShareText::expireText(m_shareInfo->expire()));
    window()->setWindowTitle(QStringLiteral("分享文件：%1").arg(m_shareInfo->desc()));
    showLinkText();
    for (const auto& choice : m_shareInfo->expireDays())
        if (choice && choice->selected())
            m_shareExpireSwitchView->setTitle(choice->desc());
}

void KZShareWindowControler::updatePwd(const QString& pwd) {
    m_shareInfo->setPassword(pwd);
    showLinkText();
}

void KZShareWindowControler::updatePwdFail(const BWError& error) {
    showErrorLabel(error.localizedDescription());
}

void KZShareWindowControler::hiddenExtracationCode(bool hidden) {
    m_startExtractionCodeView->setVisible(hidden);
    m_closeExtractionCodeView->setVisible(!hidden);
}

QString KZShareWindowControler::generateTradeNO() {
    static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    QString code;
    auto* random = QRandomGenerator::system();
    for (int i = 0; i < 4; ++i)
        code.append(QLatin1Char(kAlphabet[random->bounded(36)]));
    return code;
}

bool KZShareWindowControler::writeToPasteBoard(const QString& text) {
    return kit::Pasteboard::general().setString(text);
}

void KZShareWindowControler::actionCopyLink() {
    m_waringLabel->show();
    if (writeToPasteBoard(m_linkUrlLabel->text())) {
        m_waringLabel->setText(QStringLiteral("复制成功"));
        m_waringLabel->setTextColor(colorWithRGB(QStringLiteral("#67C23A")));
        m_warningImageView->setImage(kit::Image::named(QStringLiteral("common_icon_success")));
    } else {
        m_waringLabel->setText(QStringLiteral("复制失败"));
        m_waringLabel->setTextColor(colorWithRGB(QStringLiteral("#FF4D5C")));
        m_warningImageView->setImage(kit::Image::named(QStringLiteral("common_icon_error")));
    }
    showWarnLabel();
}

void KZShareWindowControler::openExtractionCodeAction() {
    hiddenExtracationCode(true);
    KZSessionProxy::shareSessionProxy()->requestSetPwd(generateTradeNO(), m_shareInfo->shorturl(), this, {});
}

void KZShareWindowControler::cancelExtracationCodeAction() {
    hiddenExtracationCode(false);
    KZSessionProxy::shareSessionProxy()->requestSetPwd(QString(), m_shareInfo->shorturl(), this, {});
}

void KZShareWindowControler::actionJumpWebShare() {
    KZSessionProxy::shareSessionProxy()->loginJumpDelegate(this, m_shareInfo->linkurl(), {});
}

void KZShareWindowControler::postReload() {
    nubo::NotificationCenter::defaultCenter().post(KZShareText::kShareFilesReloadNotification);
}

// ---- session answers

void KZShareWindowControler::kzSessionRequestShareSetPwd(KZAbstractSession*, qint64, const QString& pwd,
                                                         const QVariantMap&) {
    updatePwd(pwd);
    if (pwd.isEmpty())
        showErrorLabel(QStringLiteral("启用提取码，分享链接更安全"));
    postReload();
}

void KZShareWindowControler::kzSessionRequestShareSetPwdFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                             const BWError& error) {
    updatePwdFail(error);
}

void KZShareWindowControler::kzSessionRequestShareSetExpire(KZAbstractSession*, qint64,
                                                            const ShareExpireInfoPtr& expireInfo,
                                                            const QVariantMap& userInfo) {
    const QString chosen = userInfo.value(kExpireIdKey).toString();
    if (expireInfo)
        m_shareInfo->setExpire(KZShareText::expireText(expireInfo->expire()));
    for (const auto& choice : m_shareInfo->expireDays())
        if (choice)
            choice->setSelected(choice->expireId() == chosen);
    if (expireInfo && !expireInfo->renew_tips().isEmpty())
        showErrorLabel(expireInfo->renew_tips());
    reloadData();
    postReload();
}

void KZShareWindowControler::kzSessionRequestShareSetExpireFail(KZAbstractSession*, qint64,
                                                                const QVariantMap&, const BWError& error) {
    showErrorLabel(KZShareText::errorText(error, QStringLiteral("设置失败")));
    reloadData();
}

void KZShareWindowControler::kzSessionLoginJumpFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                    const BWError& error) {
    showErrorLabel(KZShareText::errorText(error, QStringLiteral("分享失败")));
}

// ---- validity pop-up

void KZShareWindowControler::expireDateSwitch() {
    if (!m_shareValidityPeriodVC)
        showShareValidityPeriodVC();
}

void KZShareWindowControler::leaveExpireDateSwitch(const kit::Event& event) {
    const QPointF p = event.locationInWindow();
    if (p.x() > kSwitchLeaveMinX && p.x() < kSwitchLeaveMaxX && p.y() < kSwitchLeaveMaxY)
        return; // on its way onto the pop-up
    closeShareValidityPeriodVC();
}

void KZShareWindowControler::closeKZShareValidityPeriodViewAction() {
    closeShareValidityPeriodVC();
}

void KZShareWindowControler::switchExpireDateAction(const KZShareExpireItemPtr& item) {
    if (!item)
        return;
    const QString id = QString::number(item->tag());
    KZSessionProxy::shareSessionProxy()->requestShareSetExpire(id, m_shareInfo->shorturl(), this,
                                                               {{kExpireIdKey, id}});
    closeShareValidityPeriodVC();
    m_shareExpireSwitchView->setTitle(item->title());
}

void KZShareWindowControler::showShareValidityPeriodVC() {
    if (m_shareValidityPeriodVC || !isWindowLoaded())
        return;
    auto* vc = new KZShareValidityPeriodViewController(this);
    kit::View* content = window()->contentView();
    kit::View* popup = vc->view();
    const QRectF& f = kPopupFrameFromBottom;
    popup->setFrame(QRectF(f.x(), kContentHeight - f.y() - f.height(), f.width(), f.height()));
    vc->setViewDelegate(this);
    vc->setShareInfo(m_shareInfo);
    m_shareValidityPeriodVC = vc;
    popup->setAlphaValue(0);
    content->addSubview(popup);
    popup->raise();
    fade(popup, true);
}

void KZShareWindowControler::closeShareValidityPeriodVC() {
    KZShareValidityPeriodViewController* vc = m_shareValidityPeriodVC;
    if (!vc)
        return;
    m_shareValidityPeriodVC.clear();
    // The closing pop-up neither answers nor takes the pointer while it fades.
    vc->setViewDelegate(nullptr);
    kit::View* popup = vc->view();
    popup->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPointer<KZShareValidityPeriodViewController> guard(vc);
    fade(popup, false, [guard] {
        if (!guard)
            return;
        guard->view()->deleteLater();
        guard->deleteLater();
    });
}

// ---- messages

void KZShareWindowControler::showWarnLabel() {
    m_warningView->show();
    m_warnTimer.start(); // restarts: a second message gets its full time
}

void KZShareWindowControler::hideWarnLabel() {
    m_warnTimer.stop();
    if (m_warningView)
        m_warningView->hide();
}

void KZShareWindowControler::showErrorLabel(const QString& text) {
    m_errorLabel->setText(text);
    m_errorLabel->show();
    m_errorTimer.start();
}

void KZShareWindowControler::hideErrorLabel() {
    m_errorTimer.stop();
    if (m_errorLabel)
        m_errorLabel->hide();
}
