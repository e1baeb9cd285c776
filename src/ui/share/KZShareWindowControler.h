#pragma once

#include "cloud/KZSessionDelegates.h"
#include "cloud/ShareInfo.h"
#include "kit/ImageView.h"
#include "shell/KZBaseWindowController.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "ui/share/KZShareExpireSwitchView.h"
#include "ui/share/KZShareValidityPeriodViewController.h"

#include <QPointer>
#include <QTimer>

// The window of one share link: the link (with its extraction code), switching the code on and
// off, the validity period, copying the link and opening its web page. Changes go through the
// session proxy; on success they are written into the caller's ShareInfo (shared, not copied)
// and announced with "ShareFilesReloadNotification".
//
// Made through the router as "KZShareWindowControler" with the parameter "shareInfo" (a
// ShareInfoPtr in a QVariant) and presented with presentWindowController(). The controller
// deletes itself once its window has been closed.
class KZShareWindowControler : public KZBaseWindowController,
                               public KZLoginJumpDelegate,
                               public KZRequestShareSetPwdDelegate,
                               public KZrequestShareSetExpireDelegate,
                               public KZShareValidityPeriodViewDelegate,
                               public KZShareExpireSwitchViewDelegate {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZShareWindowControler");
    static inline const QString kShareInfoParam = QStringLiteral("shareInfo");
    static constexpr int kMessageHideMs = 3000;
    static constexpr int kPopupAnimationMs = 250;
    // The content view's size; the pop-up needs x 102 to 202, y 9 to 139 (from the bottom).
    static constexpr double kContentWidth = 480;
    static constexpr double kContentHeight = 330;

    // Registers the window with the router (not long-life: each share gets its own window).
    static void registerWithRouter();

    KZShareWindowControler(const QString& windowNibName, const ShareInfoPtr& shareInfo,
                           QObject* parent = nullptr);
    ~KZShareWindowControler() override;

    const ShareInfoPtr& shareInfo() const { return m_shareInfo; }

    // Fills the window from the share.
    void reloadData();
    // Applies a set-code result.
    void updatePwd(const QString& pwd);
    void updatePwdFail(const BWError& error);
    // true shows the no-code group, false the group with the code.
    void hiddenExtracationCode(bool hidden);

    void actionCopyLink();
    void openExtractionCodeAction();
    void cancelExtracationCodeAction();
    void actionJumpWebShare();

    // A new extraction code: 4 characters of "0123456789abcdefghijklmnopqrstuvwxyz" from the
    // system's cryptographic random source.
    static QString generateTradeNO();
    // Whether the general pasteboard took the text.
    static bool writeToPasteBoard(const QString& text);

    // The validity pop-up.
    void showShareValidityPeriodVC();
    void closeShareValidityPeriodVC();
    KZShareValidityPeriodViewController* shareValidityPeriodVC() const { return m_shareValidityPeriodVC; }

    // Transient messages; each show restarts its own 3-second hide.
    void showWarnLabel();
    void hideWarnLabel();
    void showErrorLabel(const QString& text);
    void hideErrorLabel();

    // KZShareExpireSwitchViewDelegate
    void expireDateSwitch() override;
    void leaveExpireDateSwitch(const kit::Event& event) override;
    // KZShareValidityPeriodViewDelegate
    void closeKZShareValidityPeriodViewAction() override;
    void switchExpireDateAction(const KZShareExpireItemPtr& item) override;

    // Session answers.
    void kzSessionRequestShareSetPwd(KZAbstractSession*, qint64, const QString& pwd,
                                     const QVariantMap&) override;
    void kzSessionRequestShareSetPwdFail(KZAbstractSession*, qint64, const QVariantMap&,
                                         const BWError& error) override;
    void kzSessionRequestShareSetExpire(KZAbstractSession*, qint64, const ShareExpireInfoPtr& expireInfo,
                                        const QVariantMap& userInfo) override;
    void kzSessionRequestShareSetExpireFail(KZAbstractSession*, qint64, const QVariantMap&,
                                            const BWError& error) override;
    void kzSessionLoginJump(KZAbstractSession*, qint64, const QVariantMap&) override {}
    void kzSessionLoginJumpFail(KZAbstractSession*, qint64, const QVariantMap&,
                                const BWError& error) override;
    // Escape closes the window.
    void windowCancel(kit::Window* window) override;

    // Views, for the page's own checks and tests.
    KZLabel* linkUrlLabel() const { return m_linkUrlLabel; }
    KZLabel* extractionCodeTextField() const { return m_extractionCodeTextField; }
    KZLabel* errorLabel() const { return m_errorLabel; }
    kit::View* warningView() const { return m_warningView; }
    kit::ImageView* warningImageView() const { return m_warningImageView; }
    KZLabel* waringLabel() const { return m_waringLabel; }
    kit::View* closeExtractionCodeView() const { return m_closeExtractionCodeView; }
    kit::View* startExtractionCodeView() const { return m_startExtractionCodeView; }
    KZButton* startExtractionCodeButton() const { return m_startExtractionCodeButton; }
    KZButton* cancelExtractionCodeButton() const { return m_cancelExtractionCodeButton; }
    KZButton* shareLinkButton() const { return m_shareLinkButton; }
    KZButton* jumpShareLinkButton() const { return m_jumpShareLinkButton; }
    KZShareExpireSwitchView* shareExpireSwitchView() const { return m_shareExpireSwitchView; }
    kit::View* validityPeriodView() const { return m_validityPeriodView; }
    // Milliseconds until a message hides itself; -1 when none is due.
    int errorHideRemainingMs() const { return m_errorTimer.remainingTime(); }
    int warnHideRemainingMs() const { return m_warnTimer.remainingTime(); }

protected:
    void loadWindow() override;
    void windowDidLoad() override;
    void windowDidDisappear() override;

private:
    void configureUI();
    void showLinkText();
    void layoutLinkText();
    void postReload();

    ShareInfoPtr m_shareInfo;
    QPointer<KZLabel> m_sharelinkLabel;
    QPointer<kit::View> m_linkUrlLabelContainer;
    KZLabel* m_linkUrlLabel = nullptr;
    QPointer<KZLabel> m_extractionCodeLabel;
    QPointer<KZLabel> m_extractionCodeTextField;
    KZLabel* m_errorLabel = nullptr;
    QPointer<KZButton> m_cancelExtractionCodeButton;
    QPointer<kit::View> m_closeExtractionCodeView;
    QPointer<kit::View> m_extractionCodeContainer;
    QPointer<kit::View> m_startExtractionCodeView;
    KZButton* m_startExtractionCodeButton = nullptr;
    QPointer<KZLabel> m_startExtractionCodeLabel;
    QPointer<KZLabel> m_validityPeriodLabel;
    QPointer<KZButton> m_shareLinkButton;
    QPointer<KZButton> m_jumpShareLinkButton;
    QPointer<kit::View> m_warningView;
    QPointer<kit::ImageView> m_warningImageView;
    KZLabel* m_waringLabel = nullptr;
    KZShareExpireSwitchView* m_shareExpireSwitchView = nullptr;
    kit::View* m_validityPeriodView = nullptr;
    QPointer<KZShareValidityPeriodViewController> m_shareValidityPeriodVC;
    QTimer m_warnTimer;
    QTimer m_errorTimer;
};
