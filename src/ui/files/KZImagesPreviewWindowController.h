#pragma once

#include "cloud/KZSessionDelegates.h"
#include "foundation/Weak.h"
#include "kit/ImageView.h"
#include "shell/KZBaseWindowController.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "ui/files/KZImagesPreviewing.h"

#include <QPointer>

// The one dark, translucent window that previews the images of a folder one after another: it
// steps with its buttons and the arrow keys, turns the view in quarter turns, goes full screen,
// and downloads or deletes the image on view.
class KZImagesPreviewWindowController : public KZBaseWindowController,
                                        public KZImagesPreviewing,
                                        public KZRequestDeleteFileDelegate,
                                        public KZRequestThumbDelegate {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZImagesPreviewWindowController");
    static constexpr int kPreviewSide = 1280;

    // Registers the class with the router (a new controller per request; it deletes itself once
    // its window has closed).
    static void registerWithRouter();

    explicit KZImagesPreviewWindowController(QObject* parent = nullptr);
    KZImagesPreviewWindowController(const QList<CloudFileInfoPtr>& imageInfos, int index,
                                    QObject* parent = nullptr);
    ~KZImagesPreviewWindowController() override;

    int index() const { return m_index; }
    const QList<CloudFileInfoPtr>& imageInfos() const { return m_imageInfos; }
    bool isFullScreen() const { return m_isFullScreen; }
    kit::ImageView* imageView() const { return m_imageView; }
    kit::View* toolBar() const { return m_toolBar; }
    KZButton* backButton() const { return m_backButton; }
    KZButton* forwardButton() const { return m_forwardButton; }
    KZButton* rotateLeftButton() const { return m_rotateLeftButton; }
    KZButton* rotateRightButton() const { return m_rotateRightButton; }
    KZButton* downloadButton() const { return m_downloadButton; }
    KZButton* delelteButton() const { return m_delelteButton; }
    KZButton* fullScreenButton() const { return m_fullScreenButton; }
    kit::View* loadingView() const { return m_loadingView; }
    kit::Spinner* progressIndicator() const { return m_progressIndicator; }
    KZLabel* loadingLabel() const { return m_loadingLabel; }
    // The pending preview request, 0 when none.
    qint64 reqID() const { return m_reqID; }

    // KZImagesPreviewing
    void updateImageInfos(const QList<CloudFileInfoPtr>& images, int index) override;
    void setPreviewOwner(KZImagesPreviewOwner* owner) override { m_owner = owner; }

    void loadImage();
    void refreshbackForwardButtonState();
    void backButtonClicked();
    void forwardButtonClicked();
    void rotateLeftButtonClicked();
    void rotateRightButtonClicked();
    void downloadButtonClicked();
    void deleteButtonClicked();
    void fullScreenButtonClicked();
    void keyDown(const kit::Event& event);

    // KZRequestThumbDelegate
    void kzSessionRequestThumb(KZAbstractSession* session, qint64 requestId, const QByteArray& thumb,
                               qint64 nid, const QVariantMap& userInfo) override;
    void kzSessionRequestThumbFail(KZAbstractSession* session, qint64 requestId, qint64 nid,
                                   const QVariantMap& userInfo, const BWError& error) override;
    // KZRequestDeleteFileDelegate
    void kzSessionRequestDeleteFile(KZAbstractSession* session, qint64 requestId,
                                    const QVariantMap& userInfo) override;
    void kzSessionRequestDeleteFileFail(KZAbstractSession* session, qint64 requestId,
                                        const QVariantMap& userInfo, const BWError& error) override;

    // KZBaseWindowController
    void windowWillAppear() override;
    void windowDidDisappear() override;
    // Escape closes the preview.
    void windowCancel(kit::Window* window) override;
    void windowDidEnterFullScreen(kit::Window* window) override;
    void windowDidExitFullScreen(kit::Window* window) override;
    void windowDidResize(kit::Window* window) override;

protected:
    void loadWindow() override;
    void windowDidLoad() override;

private:
    void initUI();
    void layoutContent();
    void rotate(bool left);
    void startDownload(const CloudFileInfoPtr& file, const QString& folder);
    void showFullScreenState(bool fullScreen);
    CloudFileInfoPtr shownImage() const;

    int m_index = 0;
    QList<CloudFileInfoPtr> m_imageInfos;
    qint64 m_reqID = 0;
    bool m_isFullScreen = false;
    nubo::Weak<KZImagesPreviewOwner> m_owner;
    QPointer<kit::ImageView> m_imageView;
    QPointer<kit::View> m_toolBar;
    QPointer<KZButton> m_backButton, m_forwardButton, m_rotateLeftButton, m_rotateRightButton,
        m_downloadButton, m_delelteButton, m_fullScreenButton;
    QPointer<kit::View> m_firstSeparator, m_secondSeparator, m_thirdSeparator;
    QPointer<kit::View> m_loadingView;
    QPointer<kit::Spinner> m_progressIndicator;
    QPointer<KZLabel> m_loadingLabel;
};
