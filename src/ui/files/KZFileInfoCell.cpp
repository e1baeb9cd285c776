#include "ui/files/KZFileInfoCell.h"

#include "cloud/KZImageCache.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/DisplayText.h"
#include "kit/ImageView.h"
#include "kit/Window.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZTextFieldCell.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "ui/files/KZSearchHighlight.h"
#include "ui/files/KZThumbnails.h"

namespace {
constexpr int kThumbSide = 128;
} // namespace

KZFileInfoCell::KZFileInfoCell(QWidget* parent) : KZNameCell(parent) {
    m_imageBox = new kit::View(this);
    m_imageBox->lower(); // below the label and the field, as it was made before them
    m_iconImageView = new kit::ImageView(m_imageBox);
    m_iconImageView->setImageScaling(kit::ImageScaling::ProportionallyUpOrDown);
    m_iconImageView->setCornerRadius(4);
    m_iconImageView->setHidden(true);

    m_nameTextField->setCustomBackgroundColor(Qt::white);
    m_nameTextField->setBorderWidth(1);
    m_nameTextField->setBorderColor(KZStyle::separatorColor());
    m_nameTextField->setCornerRadius(4);
    m_nameTextField->setBordered(false);
}

KZFileInfoCell::~KZFileInfoCell() {
    cancelLoadImage();
}

void KZFileInfoCell::layout() {
    m_imageBox->setFrame(QRectF(kIconBoxLeft, (height() - kIconBoxSide) / 2, kIconBoxSide, kIconBoxSide));
    m_iconImageView->setFrame(m_imageBox->bounds());
    layoutText(m_iconImageView->isHidden() ? kTextGap : m_imageBox->right() + kTextGap, kTextGap);
}

void KZFileInfoCell::showInfo(const QString& text, const QColor& color) {
    m_infoLabel->setTextColor(color);
    m_infoLabel->setText(text);
}

void KZFileInfoCell::setFileInfo(const CloudFileInfoPtr& fileInfo) {
    m_fileInfo = fileInfo;
    m_iconImageView->setHidden(true);
    if (m_fileInfo) {
        switch (m_type) {
        case KZFileInfoCellTypeName:
            m_iconImageView->setHidden(false);
            showInfo(m_fileInfo->name(), KZStyle::titleColor());
            m_nameTextField->setStringValue(m_fileInfo->name());
            break;
        case KZFileInfoCellTypeSize:
            showInfo(m_fileInfo->isDirectory() ? QStringLiteral("-")
                                               : KZTools::convertSizeToReadable(m_fileInfo->m_size()),
                     KZStyle::darkGray2Color());
            break;
        case KZFileInfoCellTypeFileType:
            showInfo(KZTools::fileType(m_fileInfo), KZStyle::darkGray2Color());
            break;
        case KZFileInfoCellTypeModifyTime:
            showInfo(KZTools::getReadableTimeInterval(m_fileInfo->m_fmtime()), KZStyle::darkGray2Color());
            break;
        default:
            showInfo(QString(), KZStyle::darkGray2Color());
        }
    }
    layout();
}

void KZFileInfoCell::setUploadJobInfo(const KZUploadJobOpenInfoPtr& job) {
    m_uploadJobInfo = job;
    m_iconImageView->setHidden(true);
    if (job) {
        if (m_type == KZFileInfoCellTypeName) {
            m_iconImageView->setHidden(false);
            m_iconImageView->setImage(KZTools::getIconForFile(job->m_disk_path));
            showInfo(nubo::text::lastPathComponent(job->m_path), KZStyle::titleColor());
            m_nameTextField->setStringValue(QString());
        } else if (m_type == KZFileInfoCellTypeSize) {
            showInfo(KZTools::convertSizeToReadable(job->m_fsize), KZStyle::darkGray2Color());
        }
    }
    layout();
}

void KZFileInfoCell::setDownloadJobInfo(const KZDownloadJobOpenInfoPtr& job) {
    m_downloadJobInfo = job;
    m_iconImageView->setHidden(true);
    if (job) {
        if (m_type == KZFileInfoCellTypeName) {
            m_iconImageView->setHidden(false);
            m_iconImageView->setImage(KZTools::getIconForFile(job->m_path));
            showInfo(nubo::text::lastPathComponent(job->m_path), KZStyle::titleColor());
            m_nameTextField->setStringValue(QString());
        } else if (m_type == KZFileInfoCellTypeSize) {
            // A negative size from a damaged record reads as nothing rather than as 16 EiB.
            showInfo(KZTools::convertSizeToReadable(quint64(std::max<qint64>(0, job->m_fsize))),
                     KZStyle::darkGray2Color());
        }
    }
    layout();
}

void KZFileInfoCell::makeWordsHighlight(const QString& searchText) {
    if (!m_fileInfo || searchText.isEmpty())
        return;
    kit::AttributedString text(m_fileInfo->name());
    for (const auto& [start, length] : KZSearchHighlight::ranges(m_fileInfo->name(), searchText))
        text.setColor(KZStyle::warningColor(), start, length);
    m_infoLabel->setAttributedText(text);
}

kit::Image KZFileInfoCell::thumbInMemory() const {
    return KZThumbnails::cached(m_fileInfo);
}

void KZFileInfoCell::loadImage() {
    if (!m_fileInfo)
        return;
    const kit::Image thumb = thumbInMemory();
    if (!thumb.isNull()) {
        setImage(thumb);
        return;
    }
    const kit::Image icon = KZTools::getDefaultIconForFileInfo(m_fileInfo);
    loadImageFromCacheOnly(false);
    setImage(icon);
}

void KZFileInfoCell::loadImageFromCacheOnly(bool fromCacheOnly) {
    if (!m_fileInfo || !KZThumbnails::hasThumbnail(*m_fileInfo))
        return;
    KZThumbnails::request(this, m_fileInfo, kThumbSide, fromCacheOnly, m_reqID);
}

void KZFileInfoCell::cancelLoadImage() {
    KZThumbnails::cancel(m_reqID);
}

void KZFileInfoCell::setImage(const kit::Image& image) {
    m_iconImageView->setImage(image);
}

void KZFileInfoCell::kzSessionRequestThumb(KZAbstractSession*, qint64 requestId, const QByteArray& thumb,
                                           qint64 nid, const QVariantMap&) {
    // A reused cell ignores the answer for its former record.
    KZThumbnails::accept(this, m_fileInfo, requestId, nid, thumb, m_reqID,
                         [this, nid](const kit::Image& image) {
                             if (m_fileInfo && m_fileInfo->nid() == nid)
                                 setImage(image);
                         });
}

void KZFileInfoCell::kzSessionRequestThumbFail(KZAbstractSession*, qint64 requestId, qint64,
                                               const QVariantMap&, const BWError&) {
    if (requestId == m_reqID)
        m_reqID = 0;
}

int KZFileInfoCell::editableNameLength(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A leading dot starts a hidden name, not an extension; a trailing dot has no extension.
    if (dot <= 0 || dot == name.size() - 1)
        return int(name.size());
    return int(dot);
}

void KZFileInfoCell::focus() {
    beginEditing(editableNameLength(m_fileInfo ? m_fileInfo->name() : QString()));
}

void KZFileInfoCell::didInputLimitedCharacter(KZLimitedCharactersFormatter*) {
    KZWindowsManager::shareInstance().showWarningToast(kLimitedCharacterWarning);
}
