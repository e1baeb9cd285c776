#pragma once

#include "KZLabel.h"
#include "kit/AttributedString.h"
#include "kit/Image.h"

#include <QMargins>
#include <QPointer>

class KZButton;

// What the empty-state overlay of a view shows; every message is optional.
class KZMessageSetViewDelegate {
public:
    virtual ~KZMessageSetViewDelegate() = default;
    virtual bool messageSetViewShouldDisplay(QWidget* view) { return (void)view, false; }
    virtual bool messageSetViewShouldInterceptionEvents(QWidget* view) { return (void)view, false; }
    virtual QMargins insetsForMessageSetView(QWidget* view) { return (void)view, QMargins(); }
    // The view the overlay fills; null means the view itself.
    virtual QWidget* containerViewForMessageSetView(QWidget* view) { return (void)view, nullptr; }
    virtual kit::AttributedString titleForMessageSetView(QWidget* view) {
        return (void)view, kit::AttributedString();
    }
    virtual kit::AttributedString descriptionForMessageSetView(QWidget* view) {
        return (void)view, kit::AttributedString();
    }
    virtual kit::AttributedString annotationForMessageSetView(QWidget* view) {
        return (void)view, kit::AttributedString();
    }
    virtual kit::Image imageForMessageSetView(QWidget* view) { return (void)view, kit::Image(); }
    // New buttons each time; the overlay takes them over.
    virtual QList<KZButton*> buttonsForMessageSetView(QWidget* view) {
        return (void)view, QList<KZButton*>();
    }
};

class KZMessageSetView;

// The empty-state overlay of any view.
class KZMessageSet {
public:
    static void setMessageSetDelegate(QWidget* view, KZMessageSetViewDelegate* delegate);
    static KZMessageSetViewDelegate* messageSetDelegate(const QWidget* view);
    // Asks the delegate again: shows (making it once) or removes the overlay.
    static void reloadMessageSet(QWidget* view);
    static void messageSetViewBackgroundColor(QWidget* view, const QColor& color);
    // The overlay the view shows now, or null.
    static KZMessageSetView* messageSetViewOf(const QWidget* view);
};

// The overlay: image, title, description and annotation in a centred column, the buttons
// under them. When it does not intercept events, clicks pass through all but its buttons.
class KZMessageSetView : public QWidget {
    Q_OBJECT
public:
    explicit KZMessageSetView(QWidget* container);
    ~KZMessageSetView() override;

    void setContent(const kit::Image& image, const kit::AttributedString& title,
                    const kit::AttributedString& description, const kit::AttributedString& annotation,
                    const QList<KZButton*>& buttons);
    void setInsets(const QMargins& insets);
    void setInterceptsEvents(bool intercepts);
    bool interceptsEvents() const { return !testAttribute(Qt::WA_TransparentForMouseEvents); }
    void setBackgroundColor(const QColor& color);
    void bringToFront();

    KZLabel* titleLabel() const { return m_title; }
    KZLabel* descriptionLabel() const { return m_description; }
    KZLabel* annotationLabel() const { return m_annotation; }
    const kit::Image& image() const { return m_image; }
    QList<KZButton*> buttons() const;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void relayout();

    QMargins m_insets;
    QColor m_background = Qt::white;
    kit::Image m_image;
    QRectF m_imageRect;
    KZLabel* m_title;
    KZLabel* m_description;
    KZLabel* m_annotation;
    // The buttons sit in their own strip above the overlay, so they take clicks even when the
    // overlay lets them pass.
    QPointer<QWidget> m_buttonStrip;
    QList<QPointer<KZButton>> m_buttons;
};

// The texts, images and buttons of the program's empty states.
class KZMessageSetModules {
public:
    static kit::Image emptyListImage() { return kit::Image::named(QStringLiteral("message_set_empty")); }
    static kit::Image emptyShareListImage() {
        return kit::Image::named(QStringLiteral("message_set_share_empty"));
    }
    static kit::Image emptyTransportListImage() {
        return kit::Image::named(QStringLiteral("message_set_transport_empty"));
    }
    static kit::Image overdueImage() { return kit::Image::named(QStringLiteral("message_set_not_vip")); }

    static kit::AttributedString emptyFileListDescription();
    static kit::AttributedString emptySearchResultDescription();
    static kit::AttributedString emptyUploadListDescription();
    static kit::AttributedString emptyDownloadListDescription();
    static kit::AttributedString emptyTransportCompletionListDescription();
    static kit::AttributedString emptyShareListDescription();
    static kit::AttributedString emptyInvalidShareListDescription();
    static kit::AttributedString personalOverdueDescription();
    static kit::AttributedString adminOverdueDescription();
    static kit::AttributedString memberOverdueDescription();
    // A list that could not be read at all, with the reason.
    static kit::AttributedString unreadableListDescription(const QString& reason);
    static kit::AttributedString unreadableShareListDescription(const QString& reason);

    static inline const QString kUploadFilesNotification =
        QStringLiteral("KZFilesViewUploadFilesNotification");
    // "上传文件": posts "KZFilesViewUploadFilesNotification" with no object.
    static QList<KZButton*> uploadFilesButtons();
    // "去购买": opens the plan purchase page unless the network is paused.
    static QList<KZButton*> overdueButtons();
};
