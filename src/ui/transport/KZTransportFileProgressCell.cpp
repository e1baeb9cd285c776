#include "ui/transport/KZTransportFileProgressCell.h"

#include "kit/ImageView.h"
#include "shell/KZLabel.h"
#include "shell/KZProgressView.h"
#include "shell/KZStyle.h"
#include "shell/KZTools.h"

#include <cmath>

namespace {
constexpr double kProgressHeight = 4;
} // namespace

KZTransportFileProgressCell::KZTransportFileProgressCell(QWidget* parent)
    : kit::View(parent), m_descriptionLabel(new KZLabel(this)), m_iconImageView(new kit::ImageView(this)),
      m_progressView(new KZProgressView(this)), m_errorLabel(new KZLabel(this)),
      m_completionLabel(new KZLabel(this)) {
    setIdentifier(kIdentifier);
    m_descriptionLabel->setFont(KZStyle::fontOfSize(12));
    m_descriptionLabel->setTextColor(KZStyle::darkGray2Color());
    m_errorLabel->setFont(KZStyle::fontOfSize(12));
    m_errorLabel->setTextColor(KZStyle::warningColor());
    // Errors (and a frozen download's wait text) can be longer than the column.
    m_errorLabel->setShowsFullTextInToolTip(true);
    m_descriptionLabel->setShowsFullTextInToolTip(true);
    m_completionLabel->setFont(KZStyle::fontOfSize(12));
    m_completionLabel->setTextColor(KZStyle::darkGray2Color());
    m_progressView->setFrameSize(QSizeF(180, kProgressHeight));
    m_descriptionLabel->setFrameSize(QSizeF(0, kDescriptionHeight));
    updateContentWithState(KZTransportJobStatusNone);
}

void KZTransportFileProgressCell::setUploadJobInfo(const KZUploadJobOpenInfoPtr& job) {
    m_uploadJobInfo = job;
    if (job)
        show(*job, true);
}

void KZTransportFileProgressCell::setDownloadJobInfo(const KZDownloadJobOpenInfoPtr& job) {
    m_downloadJobInfo = job;
    if (job)
        show(*job, false);
}

void KZTransportFileProgressCell::updateContentWithState(qint32 state) {
    const bool error = state == KZTransportJobStatusError;
    const bool finished = state == KZTransportJobStatusFinished;
    m_progressView->setHidden(error || finished);
    m_descriptionLabel->setHidden(error || finished);
    m_errorLabel->setHidden(!error);
    m_iconImageView->setHidden(!finished);
    m_completionLabel->setHidden(!finished);
}

QString KZTransportFileProgressCell::speedText(double speed) {
    const quint64 bytes = speed > 0 ? quint64(speed) : 0;
    return KZTools::convertSizeToReadable(bytes) + QStringLiteral("/S");
}

QString KZTransportFileProgressCell::remainingText(quint64 size, qint64 finishedSize, double speed) {
    const quint64 done = finishedSize > 0 ? quint64(finishedSize) : 0;
    const double left = size > done ? double(size - done) : 0.0;
    return QStringLiteral(" - 剩余 ") + KZTools::formatedTime(left / std::max(speed, 100.0));
}

QString KZTransportFileProgressCell::finishedImageName(bool upload) {
    return upload ? QStringLiteral("transport_upload") : QStringLiteral("transport_download");
}

QString KZTransportFileProgressCell::finishedText(bool upload, quint32 finishedTime) {
    return (upload ? QStringLiteral("上传完成  ") : QStringLiteral("下载完成  ")) +
           KZTools::getReadableTimeInterval(finishedTime);
}

template <class Job> void KZTransportFileProgressCell::show(const Job& job, bool upload) {
    m_progressView->setValue(std::min(job.m_progress, 1.0));
    const qint32 status = qint32(job.m_status);
    updateContentWithState(status);
    const QFont font = KZStyle::fontOfSize(12);
    const QColor gray = KZStyle::darkGray2Color();
    switch (status) {
    case KZTransportJobStatusRunning: {
        const QString speed = speedText(job.m_speed);
        const QString left = remainingText(quint64(job.m_fsize), job.m_finishedSize, job.m_speed);
        kit::AttributedString line(speed + left, font, gray);
        line.setColor(upload ? KZStyle::titleColor() : gray, int(speed.size()), int(left.size()));
        m_descriptionLabel->setAttributedText(line);
        break;
    }
    case KZTransportJobStatusPaused:
        m_descriptionLabel->setText(QStringLiteral("已暂停"));
        break;
    case KZTransportJobStatusError:
        m_errorLabel->setText(job.m_error.localizedDescription());
        break;
    case KZTransportJobStatusFinished:
        m_iconImageView->setImage(kit::Image::named(finishedImageName(upload)));
        m_completionLabel->setAttributedText(
            kit::AttributedString(finishedText(upload, job.m_jobFinishedTime), font, gray));
        break;
    case KZTransportJobStatusCancelled:
        m_descriptionLabel->setText(QStringLiteral("已取消"));
        break;
    case KZTransportJobStatusWaitingThaw:
        if (!upload) {
            m_descriptionLabel->setText(job.m_error.localizedDescription());
            break;
        }
        [[fallthrough]];
    default: // waiting, and any status the list does not know
        m_descriptionLabel->setText(upload ? QStringLiteral("等待上传") : QStringLiteral("等待下载"));
        if (upload)
            m_errorLabel->setText(QString());
        break;
    }
    layout();
}

void KZTransportFileProgressCell::layout() {
    const double w = width();
    const double h = height();
    const double block = kProgressHeight + 5.0 + kDescriptionHeight;
    const double top = std::ceil(float((h - block) * 0.5));
    m_descriptionLabel->setFrame(QRectF(10, top, std::max(0.0, w - 20), kDescriptionHeight));
    m_progressView->setFrame(QRectF(10, m_descriptionLabel->bottom() + 5.0, 180, kProgressHeight));
    m_errorLabel->setFrame(
        QRectF(10, (h - kDescriptionHeight) / 2, std::max(0.0, w - 20), kDescriptionHeight));
    m_iconImageView->setFrame(QRectF(10, (h - kIconSide) / 2, kIconSide, kIconSide));
    m_completionLabel->setFrame(
        QRectF(10 + kIconSide + 6, (h - kDescriptionHeight) / 2, std::max(0.0, w - 42), kDescriptionHeight));
}
