#pragma once

#include "shell/KZBaseWindowController.h"

#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"

#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

// The feedback window the transfer page opens: the user describes a problem, may leave a
// contact, attach pictures and send Nubo's log files with it, and submits. The report goes to
// the cloud service, which keeps it. The window shows its limits as the user goes: the count of
// the description against its limit, each picture as a thumbnail that can be removed, the add
// button off once the pictures are all there may be. It deletes itself once closed.
class FeedbackWindowController : public KZBaseWindowController {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("FeedbackWindowController");
    // After a report went through, the window shows its thanks this long before it closes.
    static constexpr int kCloseAfterSuccessMs = 1200;
    static constexpr int kThumbnailSize = 56;
    // How long a report waits for the lines logged before it to reach the log file.
    static constexpr int kLogFlushTimeoutMs = 1000;

    static void registerWithRouter();

    explicit FeedbackWindowController(QObject* parent = nullptr);

    QPlainTextEdit* descriptionField() const { return m_description; }
    QLineEdit* contactField() const { return m_contact; }
    KZLabel* descriptionCountLabel() const { return m_descriptionCount; }
    KZCheckBoxButton* uploadLogsBox() const { return m_uploadLogsBox; }
    KZButton* addImageButton() const { return m_addImageButton; }
    KZButton* commitButton() const { return m_commitButton; }
    KZButton* cancelButton() const { return m_cancelButton; }
    QStringList imageNames() const;
    // The thumbnail of each picture and the button that removes it, in the order added.
    QList<kit::View*> thumbnailViews() const;
    KZButton* removeImageButton(int index) const;
    bool isSubmitting() const { return m_submitting; }

    // Adds a picture file: refused (with a warning) when it is not an image, too large, or one
    // too many. True when it was added.
    bool addImageFile(const QString& path);
    void removeImage(int index);
    void addImageButtonClicked();
    void commitButtonClicked();

    void windowDidDisappear() override;

protected:
    void loadWindow() override;
    void windowDidLoad() override;

private:
    void showImages();
    void showDescriptionCount();
    void warn(const QString& text);

    struct Picture {
        QString name;
        QByteArray bytes; // as the file holds it
        QImage thumbnail;
    };

    QPointer<QPlainTextEdit> m_description;
    QPointer<KZLabel> m_descriptionCount;
    QPointer<QLineEdit> m_contact;
    QPointer<KZLabel> m_imagesLabel;
    QPointer<KZButton> m_addImageButton;
    QPointer<KZCheckBoxButton> m_uploadLogsBox;
    QPointer<KZButton> m_commitButton;
    QPointer<KZButton> m_cancelButton;
    QList<QPointer<kit::View>> m_thumbnails;
    QList<Picture> m_pictures;
    bool m_submitting = false;
};
