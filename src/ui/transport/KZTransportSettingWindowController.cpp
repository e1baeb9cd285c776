#include "ui/transport/KZTransportSettingWindowController.h"

#include "foundation/DisplayText.h"
#include "foundation/SingletonT.h"
#include "kit/ImageView.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "storage/SystemConfig.h"

#include <QEvent>
#include <QStandardPaths>

namespace {
nubo::SystemConfig& config() {
    return nubo::SingletonT<nubo::SystemConfig>::instance();
}
} // namespace

void KZTransportSettingWindowController::registerWithRouter() {
    KZInitializer init(kClassName,
                       [](const QVariantMap&) -> QObject* { return new KZTransportSettingWindowController; });
    init.setLongLife(true);
    KZRouter::shareInstance().registerEntityInitializer(init);
}

KZTransportSettingWindowController::KZTransportSettingWindowController(QObject* parent)
    : KZBaseWindowController(kClassName, parent) {
    m_path = config().getDownloadPath();
    setShowWindowCloseButtonOnly(true);
}

void KZTransportSettingWindowController::loadWindow() {
    auto* w = new kit::Window;
    w->setWindowTitle(QStringLiteral("设置"));
    w->setContentView(new kit::View);
    w->setContentSize(QSizeF(440, 200));
    setWindow(w);
}

void KZTransportSettingWindowController::windowDidLoad() {
    KZBaseWindowController::windowDidLoad();
    kit::Window* w = window();
    kit::View* content = w->contentView();
    content->setCustomBackgroundColor(Qt::white);

    m_titleLabel = new KZLabel(QRectF(24, 34, 80, 20), content);
    m_titleLabel->setText(QStringLiteral("下载位置 :"));
    m_titleLabel->setFont(KZStyle::fontOfSize(14.0));
    m_titleLabel->setTextColor(KZStyle::titleColor());

    m_downloadPathView = new kit::View(QRectF(104, 28, 216, 32), content);
    m_downloadPathView->setCustomBackgroundColor(KZStyle::VCBackgroundColor());
    m_downloadPathView->setCornerRadius(4.0);
    m_folderImageView = new kit::ImageView(m_downloadPathView);
    m_folderImageView->setFrame(QRectF(8, 6, 20, 20));
    m_folderImageView->setImage(KZTools::iconForFileType(QStringLiteral("filedirectory")));
    m_folderPathLabel = new KZLabel(QRectF(36, 7, 172, 18), m_downloadPathView);
    m_folderPathLabel->setFont(KZStyle::fontOfSize(14.0));
    m_folderPathLabel->setTextColor(KZStyle::titleColor());
    m_folderPathLabel->setLineBreakMode(kit::LineBreakMode::TruncateMiddle);

    m_selectPathButton = new KZButton(QRectF(332, 28, 84, 32), content);
    m_selectPathButton->setTitle(QStringLiteral("更改"));
    m_selectPathButton->setBorderWidth(1.0);
    m_selectPathButton->setCornerRadius(4.0);
    m_selectPathButton->setBorderColor(KZStyle::separatorColor());
    m_selectPathButton->setTitleNormalColor(KZStyle::darkGray2Color());
    m_selectPathButton->setFont(KZStyle::fontOfSize(14.0));
    m_selectPathButton->setAction(this, [this](KZButton*) { selectPathButtonClicked(); });

    m_checkBoxButton = new KZCheckBoxButton(QRectF(104, 76, 312, 20), content);
    m_checkBoxButton->setTitle(QStringLiteral("默认下载到此位置，不再询问"));
    m_checkBoxButton->setInterval(8.0);
    m_checkBoxButton->setFont(KZStyle::fontOfSize(12.0));
    m_checkBoxButton->setTitleNormalColor(KZStyle::darkGray2Color());
    m_checkBoxButton->sizeToFit();

    m_confirmButton = new KZButton(QRectF(332, 144, 84, 32), content);
    m_confirmButton->setTitle(QStringLiteral("确定"));
    m_confirmButton->setCornerRadius(4.0);
    m_confirmButton->setFont(KZStyle::fontOfSize(14.0));
    m_confirmButton->setTitleNormalColor(Qt::white);
    m_confirmButton->setBackgroundColor(KZStyle::tabbarTintColor());
    m_confirmButton->setAction(this, [this](KZButton*) { confirmButtonClicked(); });

    w->installEventFilter(this);
    initData();
}

bool KZTransportSettingWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window() && event->type() == QEvent::Show)
        initData();
    return KZBaseWindowController::eventFilter(watched, event);
}

void KZTransportSettingWindowController::initData() {
    m_path = config().getDownloadPath();
    if (m_checkBoxButton)
        m_checkBoxButton->setChecked(!config().getShouldSelectDownloadPath());
    showPath();
}

void KZTransportSettingWindowController::showPath() {
    if (!m_folderPathLabel)
        return;
    const QString shown =
        m_path.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) : m_path;
    m_folderPathLabel->setText(nubo::text::lastPathComponent(shown)); // the root shows as "/"
}

void KZTransportSettingWindowController::selectPathButtonClicked() {
    QPointer<KZTransportSettingWindowController> self(this);
    KZWindowsManager::shareInstance().showPathPanelInWindow(window(), [self](const QList<QUrl>& urls) {
        if (!self || urls.isEmpty())
            return;
        self->m_path = urls.first().toLocalFile();
        self->showPath();
    });
}

void KZTransportSettingWindowController::confirmButtonClicked() {
    config().setShouldSelectDownloadPath(!m_checkBoxButton->checked());
    config().setDownloadPath(m_path);
    closeWindow();
}
