#pragma once

#include "KZBaseWindowController.h"
#include "kit/Callback.h"

#include <QList>
#include <QPointer>
#include <functional>

class KZButton;
class KZCheckBoxButton;
class KZLabel;
namespace kit {
class View;
}

enum KZAlertActionStyle {
    KZAlertActionStylePrimary = 0,
    KZAlertActionStyleWarning = 1,
    KZAlertActionStyleCancel = 2
};

// One button of an alert: its title, its style and what pressing it does (before the alert closes).
// The handler is tied to a context object, as a button's action is: once the context is gone,
// pressing the button only closes the alert.
class KZAlertAction {
public:
    using Handler = kit::Callback<const KZAlertAction&>;

    static KZAlertAction actionWithTitle(const QString& title, KZAlertActionStyle style) {
        return KZAlertAction(title, style);
    }
    static KZAlertAction actionWithTitle(const QString& title, KZAlertActionStyle style,
                                         const QObject* context,
                                         std::function<void(const KZAlertAction&)> handler) {
        return KZAlertAction(title, style, context, std::move(handler));
    }
    KZAlertAction(QString title, KZAlertActionStyle style) : m_title(std::move(title)), m_style(style) {}
    KZAlertAction(QString title, KZAlertActionStyle style, const QObject* context,
                  std::function<void(const KZAlertAction&)> handler)
        : m_title(std::move(title)), m_style(style), m_handler(context, std::move(handler)) {}

    const QString& title() const { return m_title; }
    KZAlertActionStyle style() const { return m_style; }
    const Handler& handler() const { return m_handler; }

private:
    QString m_title;
    KZAlertActionStyle m_style;
    Handler m_handler;
};

// A modal alert with an icon, a title, a message, an optional suppression check box and its
// buttons in the order their actions were added. Present it with presentWindowController();
// it deletes itself once it has been closed.
class KZAlertController : public KZBaseWindowController {
    Q_OBJECT
public:
    static KZAlertController* alertControllerWithTitle(const QString& title, const QString& message);
    static KZAlertController* alertControllerWithWindowTitle(const QString& windowTitle, const QString& title,
                                                             const QString& message);

    void addAction(const KZAlertAction& action);
    const QList<KZAlertAction>& actions() const { return m_actions; }

    void setSuppressionText(const QString& text);
    void setShowsSuppressionButton(bool shows);
    bool suppressionButtonChecked() const;
    void setShowWindowCloseButton(bool shows);

    QString title() const { return m_title; }
    QString message() const { return m_message; }
    // "alert _remind", or "alert_warning" once a warning action was added.
    QString iconName() const { return m_iconName; }

    // The built parts (the window is made on first use).
    QList<KZButton*> buttons();
    KZLabel* titleLabel();
    KZLabel* messageLabel();
    KZCheckBoxButton* suppressionButton();

    void windowDidDisappear() override;
    // Escape and the window system's close press the cancel-style button (the last one, when
    // there are several); an alert without one just closes.
    void cancel();
    void windowCancel(kit::Window* window) override;

protected:
    void loadWindow() override;
    void windowDidLoad() override;
    void closeFromTitleBar() override { cancel(); }

private:
    KZAlertController(const QString& windowTitle, const QString& title, const QString& message);
    void rebuild();
    void rebuildButtons(qreal y);
    void press(int index);

    QString m_windowTitle;
    QString m_title;
    QString m_message;
    QString m_iconName = QStringLiteral("alert _remind");
    QString m_suppressionText;
    bool m_showsSuppression = false;
    bool m_showsClose = false;
    QList<KZAlertAction> m_actions;

    QPointer<kit::View> m_iconView;
    QPointer<KZLabel> m_titleLabel;
    QPointer<KZLabel> m_messageLabel;
    QPointer<KZCheckBoxButton> m_suppression;
    QList<QPointer<KZButton>> m_buttons;
};
