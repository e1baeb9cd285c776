#pragma once

#include "kit/View.h"
#include "transfer/KZTransportJobInfo.h"

namespace kit {
class ImageView;
}
class KZLabel;
class KZProgressView;

// The "状态" cell of the transfer lists: by the job's status a progress bar with the speed and the
// time left, a one-line state text, the error text, or the finished mark with the finish time.
// One class serves uploads and downloads.
class KZTransportFileProgressCell : public kit::View {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZTransportFileProgressCell");

    explicit KZTransportFileProgressCell(QWidget* parent = nullptr);

    const KZUploadJobOpenInfoPtr& uploadJobInfo() const { return m_uploadJobInfo; }
    void setUploadJobInfo(const KZUploadJobOpenInfoPtr& job);
    const KZDownloadJobOpenInfoPtr& downloadJobInfo() const { return m_downloadJobInfo; }
    void setDownloadJobInfo(const KZDownloadJobOpenInfoPtr& job);

    // Shows and hides the parts that belong to a status.
    void updateContentWithState(qint32 state);

    // The "<speed>/S" and " - 剩余 HH:MM:SS" parts of a running job's line; the time left is
    // never negative (bytes done past the size leave nothing).
    static QString speedText(double speed);
    static QString remainingText(quint64 size, qint64 finishedSize, double speed);
    // A finished job's mark and line: "上传完成  <time>" or "下载完成  <time>".
    static QString finishedImageName(bool upload);
    static QString finishedText(bool upload, quint32 finishedTime);
    static constexpr double kIconSide = 16;
    static constexpr double kDescriptionHeight = 17;

    KZLabel* descriptionLabel() const { return m_descriptionLabel; }
    kit::ImageView* iconImageView() const { return m_iconImageView; }
    KZProgressView* progressView() const { return m_progressView; }
    KZLabel* errorLabel() const { return m_errorLabel; }
    KZLabel* completionLabel() const { return m_completionLabel; }

protected:
    void layout() override;

private:
    // What both setters share; `upload` picks the texts that differ.
    template <class Job> void show(const Job& job, bool upload);

    KZLabel* m_descriptionLabel;
    kit::ImageView* m_iconImageView;
    KZProgressView* m_progressView;
    KZLabel* m_errorLabel;
    KZLabel* m_completionLabel;
    KZUploadJobOpenInfoPtr m_uploadJobInfo;
    KZDownloadJobOpenInfoPtr m_downloadJobInfo;
};
