#include "ui/files/KZImagesPreviewWindowController.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/SingletonT.h"
#include "kit/ImageView.h"
#include "kit/Window.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "shell/KZToast.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "storage/SystemConfig.h"
#include "transport/KZDownloadMgrProxy.h"
#include "ui/files/KZFilesImages.h"

#include <QFileInfo>
#include <QPainter>
#include <QTransform>
#include <cmath>

namespace {
constexpr double kButtonSide = 32;
constexpr double kToolBarHeight = 44;
const QString kNidKey = QStringLiteral("nid");

// The content: takes the keyboard and hands its keys and size changes to the controller.
class PreviewContentView : public kit::View {
public:
    PreviewContentView(std::function<void(const kit::Event&)> keys, std::function<void()> onLayout)
        : m_keys(std::move(keys)), m_onLayout(std::move(onLayout)) {
        setFocusPolicy(Qt::StrongFocus);
    }
    void keyDown(const kit::Event& e) override {
        kit::View::keyDown(e); // every key goes on to the window too (Escape closes it)
        m_keys(e);
    }

protected:
    void layout() override { m_onLayout(); }

private:
    std::function<void(const kit::Event&)> m_keys;
    std::function<void()> m_onLayout;
};

// The desktop's symbolic pictures are dark: drawn white on the black bar.
QImage whiteImage(const QString& name) {
    QImage image =
        KZFilesImages::named(name, QSizeF(18, 18)).toImage().convertToFormat(QImage::Format_ARGB32);
    QPainter p(&image);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(image.rect(), Qt::white);
    return image;
}
} // namespace

void KZImagesPreviewWindowController::registerWithRouter() {
    KZRouter::shareInstance().registerEntityInitializer(KZInitializer(
        kClassName, [](const QVariantMap&) -> QObject* { return new KZImagesPreviewWindowController; }));
}

KZImagesPreviewWindowController::KZImagesPreviewWindowController(QObject* parent)
    : KZBaseWindowController(kClassName, parent) {}

KZImagesPreviewWindowController::KZImagesPreviewWindowController(const QList<CloudFileInfoPtr>& imageInfos,
                                                                 int index, QObject* parent)
    : KZBaseWindowController(kClassName, parent), m_index(index), m_imageInfos(imageInfos) {}

KZImagesPreviewWindowController::~KZImagesPreviewWindowController() {
    if (m_reqID)
        KZSessionProxy::shareSessionProxy()->cancelThumbRequest(m_reqID);
}

void KZImagesPreviewWindowController::loadWindow() {
    auto* w = new kit::Window;
    w->setContentView(
        new PreviewContentView([this](const kit::Event& e) { keyDown(e); }, [this] { layoutContent(); }));
    w->setContentSize(QSizeF(960, 680));
    setWindow(w);
}

void KZImagesPreviewWindowController::windowDidLoad() {
    KZBaseWindowController::windowDidLoad();
    initUI();
    loadImage();
}

void KZImagesPreviewWindowController::initUI() {
    kit::Window* w = window();
    w->setAlphaValue(0.99);
    w->setBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.8));
    w->setTitleHidden(true);
    kit::View* content = w->contentView();
    content->setAlphaValue(1.0);

    m_imageView = new kit::ImageView;
    m_imageView->setImageScaling(kit::ImageScaling::ProportionallyDown);
    content->addSubview(m_imageView);

    m_toolBar = new kit::View;
    m_toolBar->setCornerRadius(6);
    m_toolBar->setCustomBackgroundColor(Qt::black);
    content->addSubview(m_toolBar);
    auto button = [this](const QString& image, void (KZImagesPreviewWindowController::*action)()) {
        auto* b = new KZButton(QRectF(0, 0, kButtonSide, kButtonSide));
        b->setImage(whiteImage(image));
        b->setAction(this, [this, action](KZButton*) { (this->*action)(); });
        m_toolBar->addSubview(b);
        return b;
    };
    auto separator = [this] {
        auto* s = new kit::View;
        s->setCustomBackgroundColor(QColor::fromRgbF(1, 1, 1, 0.4));
        m_toolBar->addSubview(s);
        return s;
    };
    m_backButton =
        button(QStringLiteral("image_preview_back"), &KZImagesPreviewWindowController::backButtonClicked);
    m_forwardButton = button(QStringLiteral("image_preview_forward"),
                             &KZImagesPreviewWindowController::forwardButtonClicked);
    m_firstSeparator = separator();
    m_rotateLeftButton = button(QStringLiteral("image_preview_rotate_left"),
                                &KZImagesPreviewWindowController::rotateLeftButtonClicked);
    m_rotateRightButton = button(QStringLiteral("image_preview_rotate_right"),
                                 &KZImagesPreviewWindowController::rotateRightButtonClicked);
    m_secondSeparator = separator();
    m_downloadButton = button(QStringLiteral("image_preview_download"),
                              &KZImagesPreviewWindowController::downloadButtonClicked);
    m_delelteButton =
        button(QStringLiteral("image_preview_delete"), &KZImagesPreviewWindowController::deleteButtonClicked);
    m_thirdSeparator = separator();
    m_fullScreenButton = button(QStringLiteral("image_preview_fullscreen"),
                                &KZImagesPreviewWindowController::fullScreenButtonClicked);

    m_loadingView = new kit::View;
    m_loadingView->setCornerRadius(4);
    m_loadingView->setCustomBackgroundColor(Qt::black);
    m_progressIndicator = new kit::Spinner;
    m_progressIndicator->setColor(Qt::white);
    m_loadingLabel = new KZLabel;
    m_loadingLabel->setText(QStringLiteral("正在加载图片..."));
    m_loadingLabel->setFont(KZStyle::fontOfSize(14));
    m_loadingLabel->setTextColor(Qt::white);
    m_loadingView->addSubview(m_progressIndicator);
    m_loadingView->addSubview(m_loadingLabel);
    content->addSubview(m_loadingView);
    m_loadingView->setHidden(true);

    refreshbackForwardButtonState();
    layoutContent();
}

void KZImagesPreviewWindowController::layoutContent() {
    if (!m_imageView)
        return;
    const QRectF b = window()->contentView()->bounds();
    const double barWidth = 8 * kButtonSide + 3 * 17 + 16;
    m_toolBar->setFrame(QRectF(std::round((b.width() - barWidth) / 2), b.height() - kToolBarHeight - 16,
                               barWidth, kToolBarHeight));
    m_imageView->setFrame(
        QRectF(20, 20, std::max(0.0, b.width() - 40), std::max(0.0, m_toolBar->top() - 16 - 20)));
    double x = 8;
    for (kit::View* v : m_toolBar->findChildren<kit::View*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<KZButton*>(v)) {
            v->setFrame(QRectF(x, (kToolBarHeight - kButtonSide) / 2, kButtonSide, kButtonSide));
            x += kButtonSide;
        } else {
            v->setFrame(QRectF(x + 8, 12, 1, kToolBarHeight - 24));
            x += 17;
        }
    }
    const double labelWidth = m_loadingLabel->sizeThatFits(QSizeF(0, 0)).width();
    const QSizeF panel(labelWidth + 24 + 24 + 8 + 16, 48);
    m_loadingView->setFrame(
        QRectF(m_imageView->frame().center() - QPointF(panel.width() / 2, panel.height() / 2), panel));
    m_progressIndicator->setFrame(QRectF(16, 12, 24, 24));
    m_loadingLabel->setFrame(QRectF(48, 14, labelWidth, 20));
}

void KZImagesPreviewWindowController::windowDidResize(kit::Window* w) {
    KZBaseWindowController::windowDidResize(w);
    layoutContent();
}

void KZImagesPreviewWindowController::windowWillAppear() {
    if (isWindowLoaded())
        window()->contentView()->setFocus(Qt::OtherFocusReason);
}

void KZImagesPreviewWindowController::windowDidDisappear() {
    // Made anew for every preview by the router, so nobody else owns it.
    deleteLater();
}

CloudFileInfoPtr KZImagesPreviewWindowController::shownImage() const {
    return m_index >= 0 && m_index < m_imageInfos.size() ? m_imageInfos.at(m_index) : nullptr;
}

void KZImagesPreviewWindowController::updateImageInfos(const QList<CloudFileInfoPtr>& images, int index) {
    m_imageInfos = images;
    m_imageInfos.removeAll(nullptr);
    m_index = m_imageInfos.isEmpty() ? 0 : std::clamp(index, 0, int(m_imageInfos.size()) - 1);
    if (!isWindowLoaded())
        return; // the window's loading shows the image
    loadImage();
    refreshbackForwardButtonState();
}

void KZImagesPreviewWindowController::loadImage() {
    if (!m_imageView)
        return;
    m_imageView->setImage(kit::Image());
    m_loadingView->setHidden(false);
    m_loadingView->raise();
    m_progressIndicator->startAnimation();
    // Only the image on view is wanted: an earlier request stops when the user steps on.
    if (m_reqID)
        KZSessionProxy::shareSessionProxy()->cancelThumbRequest(m_reqID);
    m_reqID = 0;
    const CloudFileInfoPtr f = shownImage();
    if (!f)
        return;
    m_reqID = KZSessionProxy::shareSessionProxy()->requestThumbDelegate(
        this, f->path(), f->nid(), kPreviewSide, kPreviewSide, {}, false);
}

void KZImagesPreviewWindowController::refreshbackForwardButtonState() {
    if (!m_backButton)
        return;
    m_backButton->setEnabled(m_index > 0);
    m_forwardButton->setEnabled(m_index < int(m_imageInfos.size()) - 1);
}

void KZImagesPreviewWindowController::backButtonClicked() {
    if (m_index <= 0)
        return;
    --m_index;
    loadImage();
    refreshbackForwardButtonState();
}

void KZImagesPreviewWindowController::forwardButtonClicked() {
    if (m_index >= int(m_imageInfos.size()) - 1)
        return;
    ++m_index;
    loadImage();
    refreshbackForwardButtonState();
}

void KZImagesPreviewWindowController::keyDown(const kit::Event& event) {
    if (event.keyCode() == Qt::Key_Left && m_backButton && m_backButton->isEnabled())
        backButtonClicked();
    else if (event.keyCode() == Qt::Key_Right && m_forwardButton && m_forwardButton->isEnabled())
        forwardButtonClicked();
}

void KZImagesPreviewWindowController::windowCancel(kit::Window*) {
    closeWindow();
}

// The next angle comes from where the view stands now (its transform's a and b, truncated), and
// the view is set to that absolute turn.
void KZImagesPreviewWindowController::rotate(bool left) {
    if (!m_imageView)
        return;
    const QTransform& t = m_imageView->rotationTransform();
    const int a = int(t.m11());
    const int b = int(t.m12());
    double angle = 0;
    if (a == 1 && b == 0)
        angle = left ? M_PI_2 : 3 * M_PI_2;
    else if (a == 0 && b == 1)
        angle = left ? M_PI : 0;
    else if (a == -1 && b == 0)
        angle = left ? 3 * M_PI_2 : M_PI_2;
    else
        angle = left ? 2 * M_PI : M_PI;
    m_imageView->setRotationTransform(QTransform().rotateRadians(angle));
}

void KZImagesPreviewWindowController::rotateLeftButtonClicked() {
    rotate(true);
}

void KZImagesPreviewWindowController::rotateRightButtonClicked() {
    rotate(false);
}

void KZImagesPreviewWindowController::downloadButtonClicked() {
    const CloudFileInfoPtr f = shownImage();
    if (!f)
        return;
    auto& config = nubo::SingletonT<nubo::SystemConfig>::instance();
    if (!config.getShouldSelectDownloadPath()) {
        startDownload(f, config.getDownloadPath());
        return;
    }
    QPointer<KZImagesPreviewWindowController> self(this);
    KZWindowsManager::shareInstance().showPathPanelInWindow(window(), [self, f](const QList<QUrl>& urls) {
        if (self && !urls.isEmpty())
            self->startDownload(f, urls.first().toLocalFile());
    });
}

void KZImagesPreviewWindowController::startDownload(const CloudFileInfoPtr& file, const QString& folder) {
    // A folder that is not there or not writable is said at once, never reported as started.
    if (const QString problem = KZTools::downloadFolderProblem(folder); !problem.isEmpty()) {
        KZToast::showToastWithErrorMessage(window(), problem);
        return;
    }
    const QFileInfo info(folder);
    KZToast::showToast(window(), QStringLiteral("已加入传输列表..."));
    KZDownloadMgrProxy::shareDownloadMgrProxy()->downloadFileByCloudFile(file, info.absoluteFilePath());
}

void KZImagesPreviewWindowController::deleteButtonClicked() {
    const CloudFileInfoPtr f = shownImage();
    if (!f)
        return;
    if (auto* owner = m_owner.get(); owner && !owner->previewMayDeleteFiles({f}))
        return;
    KZToast::showToast(window(), QStringLiteral("正在删除图片..."));
    KZSessionProxy::shareSessionProxy()->requestDeleteFile({f}, this, {{kNidKey, f->nid()}});
}

void KZImagesPreviewWindowController::fullScreenButtonClicked() {
    // The flag and the picture follow the window's real state as it reports it.
    window()->toggleFullScreen();
}

void KZImagesPreviewWindowController::showFullScreenState(bool fullScreen) {
    m_isFullScreen = fullScreen;
    if (m_fullScreenButton)
        m_fullScreenButton->setImage(whiteImage(fullScreen ? QStringLiteral("image_preview_miniscreen")
                                                           : QStringLiteral("image_preview_fullscreen")));
}

void KZImagesPreviewWindowController::windowDidEnterFullScreen(kit::Window*) {
    showFullScreenState(true);
}

void KZImagesPreviewWindowController::windowDidExitFullScreen(kit::Window*) {
    showFullScreenState(false);
}

void KZImagesPreviewWindowController::kzSessionRequestThumb(KZAbstractSession*, qint64 requestId,
                                                            const QByteArray& thumb, qint64 nid,
                                                            const QVariantMap&) {
    if (requestId == m_reqID)
        m_reqID = 0;
    const CloudFileInfoPtr f = shownImage();
    if (!f || nid != f->nid() || !m_imageView)
        return; // an answer for an image the user stepped away from
    // A 1280-pixel picture is decoded off the main thread; the step may have moved on by then.
    kit::Image::decodeInBackground(thumb, this, [this, nid](const kit::Image& image) {
        const CloudFileInfoPtr now = shownImage();
        if (!now || nid != now->nid() || !m_imageView)
            return;
        m_loadingView->setHidden(true);
        m_progressIndicator->stopAnimation();
        m_imageView->setImage(image);
    });
}

void KZImagesPreviewWindowController::kzSessionRequestThumbFail(KZAbstractSession*, qint64 requestId,
                                                                qint64 nid, const QVariantMap&,
                                                                const BWError&) {
    if (requestId == m_reqID)
        m_reqID = 0;
    const CloudFileInfoPtr f = shownImage();
    if (f && nid == f->nid())
        KZToast::showToastWithErrorMessage(window(), QStringLiteral("图片加载失败"));
}

void KZImagesPreviewWindowController::kzSessionRequestDeleteFile(KZAbstractSession*, qint64,
                                                                 const QVariantMap& userInfo) {
    KZToast::showToastWithSucessMessage(window(), QStringLiteral("删除成功"));
    const qint64 nid = userInfo.value(kNidKey).toLongLong();
    int removed = -1;
    for (int i = 0; i < m_imageInfos.size(); ++i)
        if (m_imageInfos.at(i)->nid() == nid) {
            removed = i;
            break;
        }
    if (removed < 0)
        return;
    m_imageInfos.removeAt(removed);
    if (m_imageInfos.isEmpty()) {
        closeWindow();
        return;
    }
    // The user may have stepped while the delete was out: the image on view stays on view
    // unless it is the one that went.
    if (removed < m_index) {
        --m_index;
    } else if (removed == m_index) {
        m_index = std::min(m_index, int(m_imageInfos.size()) - 1);
        loadImage();
    }
    refreshbackForwardButtonState();
}

void KZImagesPreviewWindowController::kzSessionRequestDeleteFileFail(KZAbstractSession*, qint64,
                                                                     const QVariantMap&, const BWError&) {
    KZToast::showToastWithErrorMessage(window(), QStringLiteral("删除失败"));
}
