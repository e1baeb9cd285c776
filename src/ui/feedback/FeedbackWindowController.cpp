#include "ui/feedback/FeedbackWindowController.h"

#include "foundation/Dispatch.h"
#include "kit/OpenPanel.h"
#include "service/CloudService.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "shell/KZToast.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

KZLabel* caption(const QString& text, const QRectF& frame, QWidget* parent) {
    auto* l = new KZLabel(frame, parent);
    l->setText(text);
    l->setFont(KZStyle::fontOfSize(14.0));
    l->setTextColor(KZStyle::titleColor());
    return l;
}

KZButton* button(const QString& title, const QRectF& frame, QWidget* parent, bool primary) {
    auto* b = new KZButton(frame, parent);
    b->setTitle(title);
    b->setFont(KZStyle::fontOfSize(14.0));
    b->setCornerRadius(4.0);
    if (primary) {
        b->setTitleNormalColor(Qt::white);
        b->setBackgroundColor(KZStyle::tabbarTintColor());
    } else {
        b->setTitleNormalColor(KZStyle::darkGray2Color());
        b->setBorderWidth(1.0);
        b->setBorderColor(KZStyle::separatorColor());
    }
    return b;
}

} // namespace

void FeedbackWindowController::registerWithRouter() {
    KZRouter::shareInstance().registerEntityInitializer(KZInitializer(
        kClassName, [](const QVariantMap&) -> QObject* { return new FeedbackWindowController; }));
}

FeedbackWindowController::FeedbackWindowController(QObject* parent)
    : KZBaseWindowController(kClassName, parent) {}

void FeedbackWindowController::loadWindow() {
    auto* w = new kit::Window;
    w->setWindowTitle(QStringLiteral("意见反馈"));
    w->setContentView(new kit::View);
    w->setContentSize(QSizeF(480, 400));
    setWindow(w);
}

void FeedbackWindowController::windowDidLoad() {
    KZBaseWindowController::windowDidLoad();
    kit::View* content = window()->contentView();
    content->setCustomBackgroundColor(Qt::white);

    caption(QStringLiteral("问题描述"), QRectF(24, 20, 200, 20), content);
    m_description = new QPlainTextEdit(content);
    m_description->setGeometry(24, 46, 432, 150);
    m_description->setPlaceholderText(QStringLiteral("请描述您遇到的问题"));
    m_description->setFont(KZStyle::fontOfSize(13.0));

    caption(QStringLiteral("联系方式"), QRectF(24, 210, 200, 20), content);
    m_contact = new QLineEdit(content);
    m_contact->setGeometry(24, 236, 432, 30);
    m_contact->setPlaceholderText(QStringLiteral("手机号或邮箱（选填）"));
    m_contact->setMaxLength(nubo::CloudService::kFeedbackMaxContact);
    m_contact->setFont(KZStyle::fontOfSize(13.0));

    m_addImageButton = button(QStringLiteral("添加图片"), QRectF(24, 282, 96, 30), content, false);
    m_addImageButton->setAction(this, [this](KZButton*) { addImageButtonClicked(); });
    m_imagesLabel = new KZLabel(QRectF(132, 288, 324, 20), content);
    m_imagesLabel->setFont(KZStyle::fontOfSize(12.0));
    m_imagesLabel->setTextColor(KZStyle::darkGray2Color());
    m_imagesLabel->setLineBreakMode(kit::LineBreakMode::TruncateMiddle);
    showImages();

    m_cancelButton = button(QStringLiteral("取消"), QRectF(264, 346, 90, 32), content, false);
    m_cancelButton->setAction(this, [this](KZButton*) { closeWindow(); });
    m_commitButton = button(QStringLiteral("提交"), QRectF(366, 346, 90, 32), content, true);
    m_commitButton->setAction(this, [this](KZButton*) { commitButtonClicked(); });
}

void FeedbackWindowController::windowDidDisappear() {
    deleteLater();
}

void FeedbackWindowController::warn(const QString& text) {
    if (isWindowLoaded())
        KZToast::showToastWithWarningMessage(window()->contentView(), text);
}

bool FeedbackWindowController::addImageFile(const QString& path) {
    if (m_images.size() >= nubo::CloudService::kFeedbackMaxImages) {
        warn(QStringLiteral("最多添加%1张图片").arg(nubo::CloudService::kFeedbackMaxImages));
        return false;
    }
    QFile f(path);
    if (QFileInfo(path).size() > nubo::CloudService::kFeedbackMaxImageBytes) {
        warn(QStringLiteral("图片不能超过5M"));
        return false;
    }
    QByteArray bytes;
    if (f.open(QIODevice::ReadOnly))
        bytes = f.read(nubo::CloudService::kFeedbackMaxImageBytes + 1);
    if (bytes.isEmpty() || bytes.size() > nubo::CloudService::kFeedbackMaxImageBytes ||
        QImage::fromData(bytes).isNull()) {
        warn(QStringLiteral("请选择图片文件"));
        return false;
    }
    m_images.append(bytes);
    m_imageNames.append(QFileInfo(path).fileName());
    showImages();
    return true;
}

void FeedbackWindowController::showImages() {
    if (m_imagesLabel)
        m_imagesLabel->setText(
            m_imageNames.isEmpty()
                ? QStringLiteral("可添加%1张图片，每张不超过5M").arg(nubo::CloudService::kFeedbackMaxImages)
                : m_imageNames.join(QStringLiteral("、")));
}

void FeedbackWindowController::addImageButtonClicked() {
    auto* panel = new kit::OpenPanel(this);
    panel->setCanChooseFiles(true);
    panel->setCanChooseDirectories(false);
    panel->setAllowsMultipleSelection(true);
    panel->setPrompt(QStringLiteral("选取"));
    QPointer<FeedbackWindowController> self(this);
    panel->beginSheetModalForWindow(window(), [self, panel](bool ok, const QList<QUrl>& urls) {
        if (self && ok)
            for (const QUrl& url : urls)
                if (!self->addImageFile(url.toLocalFile()))
                    break;
        panel->deleteLater();
    });
}

void FeedbackWindowController::commitButtonClicked() {
    if (m_submitting)
        return;
    nubo::FeedbackReport report;
    report.description = m_description->toPlainText().trimmed();
    report.contact = m_contact->text().trimmed();
    report.images = m_images;
    if (report.description.isEmpty())
        return warn(QStringLiteral("请填写问题描述"));
    if (report.description.size() > nubo::CloudService::kFeedbackMaxDescription)
        return warn(
            QStringLiteral("问题描述不能超过%1个字").arg(nubo::CloudService::kFeedbackMaxDescription));
    m_submitting = true;
    m_commitButton->setEnabled(false);
    // The service call blocks: it runs on the background thread, the answer comes back here.
    QPointer<FeedbackWindowController> self(this);
    nubo::KZBackgroundThread::shared().run([self, report] {
        const auto service = nubo::CloudService::shared();
        const BWError error = service ? service->submitFeedback(report).error
                                      : BWError::application(1, QStringLiteral("云服务不可用"));
        nubo::runOnMain([self, error] {
            if (!self)
                return;
            self->m_submitting = false;
            if (self->m_commitButton)
                self->m_commitButton->setEnabled(true);
            if (error) {
                KZToast::showToastWithErrorMessage(self->window()->contentView(),
                                                   error.localizedDescription());
                return;
            }
            // Thanked in the window, which then closes by itself.
            self->m_commitButton->setEnabled(false);
            KZToast::showToastWithSucessMessage(self->window()->contentView(),
                                                QStringLiteral("提交成功，感谢您的反馈"));
            nubo::runAfter(
                kCloseAfterSuccessMs,
                [self] {
                    if (self)
                        self->closeWindow();
                },
                self);
        });
    });
}
