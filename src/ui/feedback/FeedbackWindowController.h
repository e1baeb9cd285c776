#pragma once

#include "shell/KZBaseWindowController.h"

#include "shell/KZButton.h"
#include "shell/KZLabel.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

// The feedback window the transfer page opens: the user describes a problem, may leave a
// contact and attach pictures, and submits. The report goes to the cloud service, which keeps
// it. The window deletes itself once closed.
class FeedbackWindowController : public KZBaseWindowController {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("FeedbackWindowController");
    // After a report went through, the window shows its thanks this long before it closes.
    static constexpr int kCloseAfterSuccessMs = 1200;

    static void registerWithRouter();

    explicit FeedbackWindowController(QObject* parent = nullptr);

    QPlainTextEdit* descriptionField() const { return m_description; }
    QLineEdit* contactField() const { return m_contact; }
    KZButton* addImageButton() const { return m_addImageButton; }
    KZButton* commitButton() const { return m_commitButton; }
    KZButton* cancelButton() const { return m_cancelButton; }
    const QStringList& imageNames() const { return m_imageNames; }
    bool isSubmitting() const { return m_submitting; }

    // Adds a picture file: refused (with a warning) when it is not an image, too large, or one
    // too many. True when it was added.
    bool addImageFile(const QString& path);
    void addImageButtonClicked();
    void commitButtonClicked();

    void windowDidDisappear() override;

protected:
    void loadWindow() override;
    void windowDidLoad() override;

private:
    void showImages();
    void warn(const QString& text);

    QPointer<QPlainTextEdit> m_description;
    QPointer<QLineEdit> m_contact;
    QPointer<KZLabel> m_imagesLabel;
    QPointer<KZButton> m_addImageButton;
    QPointer<KZButton> m_commitButton;
    QPointer<KZButton> m_cancelButton;
    QList<QByteArray> m_images;
    QStringList m_imageNames;
    bool m_submitting = false;
};
