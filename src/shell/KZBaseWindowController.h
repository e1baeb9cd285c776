#pragma once

#include "kit/Window.h"
#include "kit/WindowController.h"

#include <QPointer>

// Base of Nubo's window controllers: the window-manager hooks, presentation state and the
// title bar's close button wired to closeWindow().
class KZBaseWindowController : public kit::WindowController, public kit::WindowDelegate {
    Q_OBJECT
public:
    // `windowNibName` names the window's layout; subclasses build it in loadWindow()/windowDidLoad().
    explicit KZBaseWindowController(const QString& windowNibName = {}, QObject* parent = nullptr);

    QString windowNibName() const { return m_nibName; }

    // Dismissed through the window manager when presented (modal or sheet), closed otherwise.
    virtual void closeWindow();
    // The title bar shows only the close button.
    void setShowWindowCloseButtonOnly(bool only);

    // Window-manager hooks.
    virtual void windowWillAppear() {}
    virtual void windowWillPresent() {}
    virtual void windowDidDisappear() {}

    // Set by the presentation calls.
    kit::Window* presentingWindow() const { return m_presentingWindow; }
    void setPresentingWindow(kit::Window* window) { m_presentingWindow = window; }
    bool isPresenting() const { return m_presenting; }
    void setPresenting(bool presenting) { m_presenting = presenting; }

    // Presents `controller` modally over this controller's window.
    void presentWindowController(KZBaseWindowController* controller);

    bool windowShouldClose(kit::Window* window) override;
    void windowWillClose(kit::Window* window) override;

protected:
    void windowDidLoad() override;
    // The title bar's (or the window manager's) close, run after the close event: closes.
    virtual void closeFromTitleBar() { closeWindow(); }

private:
    QString m_nibName;
    QPointer<kit::Window> m_presentingWindow;
    bool m_presenting = false;
    bool m_closeButtonOnly = false;
};
