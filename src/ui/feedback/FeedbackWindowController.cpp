#include "ui/feedback/FeedbackWindowController.h"

#include "foundation/Dispatch.h"
#include "foundation/LogFile.h"
#include "kit/ImageView.h"
#include "kit/OpenPanel.h"
#include "service/CloudService.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "shell/KZToast.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
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

// The picture scaled down to cover a thumbnail (sharp on a doubled screen); null when the bytes
// are no picture Qt can read. A large true-colour picture decodes straight to that size (whole,
// a camera's photo can be past Qt's allocation limit); a palette picture decodes whole and is
// scaled in full colour, as a reader's own scaling loses the palette of some.
QImage thumbnailOf(const QByteArray& bytes, int side) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize target(2 * side, 2 * side);
    const QImage::Format stored = reader.imageFormat();
    const bool palette = stored == QImage::Format_Mono || stored == QImage::Format_MonoLSB ||
                         stored == QImage::Format_Indexed8;
    const QSize full = reader.size();
    const bool large = full.width() > target.width() || full.height() > target.height();
    if (!palette && large)
        reader.setScaledSize(full.scaled(target, Qt::KeepAspectRatioByExpanding));
    const QImage image = reader.read();
    if (image.isNull() || !palette || !large)
        return image;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(full.scaled(target, Qt::KeepAspectRatioByExpanding), Qt::IgnoreAspectRatio,
                Qt::SmoothTransformation);
}

// "图片 (*.bmp *.jpg ...)": every format Qt can read here, so the chooser offers nothing that
// the window would then refuse.
QString imageNameFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format).toLower());
    patterns.removeDuplicates();
    return QStringLiteral("图片 (%1)").arg(patterns.join(u' '));
}

// Nubo's log files as a report carries them: the newest lines of each, within the limit.
QList<nubo::FeedbackFile> logsForReport() {
    // What was logged up to now is in the files first.
    nubo::log::flushFileLog(FeedbackWindowController::kLogFlushTimeoutMs);
    QList<nubo::FeedbackFile> out;
    for (const QString& path : nubo::log::fileLogFiles()) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const qint64 size = f.size();
        if (size > nubo::CloudService::kFeedbackMaxLogBytes)
            f.seek(size - nubo::CloudService::kFeedbackMaxLogBytes);
        out.append({QFileInfo(path).fileName(), f.read(nubo::CloudService::kFeedbackMaxLogBytes)});
    }
    return out;
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
    w->setContentSize(QSizeF(480, 452));
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
    m_descriptionCount = new KZLabel(QRectF(296, 200, 160, 18), content);
    m_descriptionCount->setFont(KZStyle::fontOfSize(12.0));
    m_descriptionCount->setTextAlignment(kit::TextAlignment::Right);
    connect(m_description, &QPlainTextEdit::textChanged, this, [this] { showDescriptionCount(); });
    showDescriptionCount();

    caption(QStringLiteral("联系方式"), QRectF(24, 222, 200, 20), content);
    m_contact = new QLineEdit(content);
    m_contact->setGeometry(24, 248, 432, 30);
    m_contact->setPlaceholderText(QStringLiteral("手机号或邮箱（选填）"));
    m_contact->setMaxLength(nubo::CloudService::kFeedbackMaxContact);
    m_contact->setFont(KZStyle::fontOfSize(13.0));

    m_addImageButton = button(QStringLiteral("添加图片"), QRectF(24, 305, 96, 30), content, false);
    m_addImageButton->setAction(this, [this](KZButton*) { addImageButtonClicked(); });
    m_imagesLabel = new KZLabel(QRectF(132, 310, 324, 20), content);
    m_imagesLabel->setFont(KZStyle::fontOfSize(12.0));
    m_imagesLabel->setTextColor(KZStyle::darkGray2Color());
    m_imagesLabel->setText(
        QStringLiteral("可添加%1张图片，每张不超过5M").arg(nubo::CloudService::kFeedbackMaxImages));
    showImages();

    m_uploadLogsBox = new KZCheckBoxButton(QRectF(24, 364, 120, 20), content);
    m_uploadLogsBox->setTitle(QStringLiteral("上传日志"));
    m_uploadLogsBox->setFont(KZStyle::fontOfSize(13.0));
    m_uploadLogsBox->setTitleNormalColor(KZStyle::titleColor());
    m_uploadLogsBox->setChecked(true);

    m_cancelButton = button(QStringLiteral("取消"), QRectF(264, 398, 90, 32), content, false);
    m_cancelButton->setAction(this, [this](KZButton*) { closeWindow(); });
    m_commitButton = button(QStringLiteral("提交"), QRectF(366, 398, 90, 32), content, true);
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
    if (m_pictures.size() >= nubo::CloudService::kFeedbackMaxImages) {
        warn(QStringLiteral("最多添加%1张图片").arg(nubo::CloudService::kFeedbackMaxImages));
        return false;
    }
    QFile f(path);
    if (QFileInfo(path).size() > nubo::CloudService::kFeedbackMaxImageBytes) {
        warn(QStringLiteral("图片不能超过5M"));
        return false;
    }
    Picture picture{QFileInfo(path).fileName(), {}, {}};
    if (f.open(QIODevice::ReadOnly))
        picture.bytes = f.read(nubo::CloudService::kFeedbackMaxImageBytes + 1);
    if (!picture.bytes.isEmpty() && picture.bytes.size() <= nubo::CloudService::kFeedbackMaxImageBytes)
        picture.thumbnail = thumbnailOf(picture.bytes, kThumbnailSize);
    if (picture.thumbnail.isNull()) {
        warn(QStringLiteral("请选择图片文件"));
        return false;
    }
    m_pictures.append(picture);
    showImages();
    return true;
}

void FeedbackWindowController::removeImage(int index) {
    if (index < 0 || index >= m_pictures.size())
        return;
    m_pictures.removeAt(index);
    showImages();
}

QStringList FeedbackWindowController::imageNames() const {
    QStringList names;
    for (const Picture& p : m_pictures)
        names.append(p.name);
    return names;
}

QList<kit::View*> FeedbackWindowController::thumbnailViews() const {
    QList<kit::View*> views;
    for (const QPointer<kit::View>& v : m_thumbnails)
        if (v)
            views.append(v);
    return views;
}

KZButton* FeedbackWindowController::removeImageButton(int index) const {
    const QList<kit::View*> views = thumbnailViews();
    return index >= 0 && index < views.size() ? views[index]->findChild<KZButton*>() : nullptr;
}

void FeedbackWindowController::showImages() {
    if (!isWindowLoaded())
        return;
    // Later: the click that removes a picture is still being handled by a button inside them.
    for (const QPointer<kit::View>& v : std::as_const(m_thumbnails))
        if (v) {
            v->hide();
            v->deleteLater();
        }
    m_thumbnails.clear();
    kit::View* content = window()->contentView();
    constexpr qreal kGap = 10;
    constexpr qreal removeSide = 18;
    for (int i = 0; i < m_pictures.size(); ++i) {
        auto* thumb = new kit::View(content);
        thumb->setFrame(QRectF(132 + i * (kThumbnailSize + kGap), 292, kThumbnailSize, kThumbnailSize));
        thumb->setToolTip(m_pictures[i].name);
        auto* image = new kit::ImageView(thumb);
        image->setFrame(QRectF(0, 0, kThumbnailSize, kThumbnailSize));
        image->setImageScaling(kit::ImageScaling::AspectFill);
        image->setImage(m_pictures[i].thumbnail);
        image->setBorderWidth(1.0);
        image->setBorderColor(KZStyle::separatorColor());
        auto* remove = new KZButton(QRectF(kThumbnailSize - removeSide, 0, removeSide, removeSide), thumb);
        remove->setTitle(QStringLiteral("×"));
        remove->setFont(KZStyle::fontOfSize(13.0));
        remove->setTitleNormalColor(Qt::white);
        remove->setBackgroundColor(QColor(0, 0, 0, 140));
        remove->setCornerRadius(removeSide / 2);
        remove->setToolTip(QStringLiteral("移除"));
        // The picture is found again by its view: indexes move as others go.
        remove->setAction(this, [this, thumb](KZButton*) { removeImage(thumbnailViews().indexOf(thumb)); });
        thumb->show();
        m_thumbnails.append(thumb);
    }
    m_imagesLabel->setHidden(!m_pictures.isEmpty());
    m_addImageButton->setEnabled(m_pictures.size() < nubo::CloudService::kFeedbackMaxImages);
}

void FeedbackWindowController::showDescriptionCount() {
    // Counted as the service counts it: without the spaces around the text.
    const qsizetype count = m_description->toPlainText().trimmed().size();
    const int limit = nubo::CloudService::kFeedbackMaxDescription;
    m_descriptionCount->setText(QStringLiteral("%1/%2").arg(count).arg(limit));
    m_descriptionCount->setTextColor(count > limit ? KZStyle::warningColor() : KZStyle::darkGray2Color());
}

void FeedbackWindowController::addImageButtonClicked() {
    auto* panel = new kit::OpenPanel(this);
    panel->setCanChooseFiles(true);
    panel->setCanChooseDirectories(false);
    panel->setAllowsMultipleSelection(true);
    panel->setPrompt(QStringLiteral("选取"));
    panel->setNameFilters({imageNameFilter()});
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
    for (const Picture& p : std::as_const(m_pictures))
        report.images.append(p.bytes);
    if (report.description.isEmpty())
        return warn(QStringLiteral("请填写问题描述"));
    if (report.description.size() > nubo::CloudService::kFeedbackMaxDescription)
        return warn(
            QStringLiteral("问题描述不能超过%1个字").arg(nubo::CloudService::kFeedbackMaxDescription));
    m_submitting = true;
    m_commitButton->setEnabled(false);
    const bool withLogs = m_uploadLogsBox->checked();
    // Reading the logs and the service call block: they run on the background thread, the
    // answer comes back here.
    QPointer<FeedbackWindowController> self(this);
    nubo::KZBackgroundThread::shared().run([self, report, withLogs]() mutable {
        if (withLogs)
            report.logs = logsForReport();
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
