#pragma once

#include <QObject>
#include <QPointer>

namespace kit {

class Window;

// Owns one window, made lazily: window() calls loadWindow() and then windowDidLoad() once.
class WindowController : public QObject {
    Q_OBJECT
public:
    explicit WindowController(QObject* parent = nullptr);
    // Takes ownership of `window`.
    explicit WindowController(Window* window, QObject* parent = nullptr);
    ~WindowController() override;

    Window* window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    // Replaces the window (taking ownership; the old one is deleted).
    void setWindow(Window* window);

    // Shows the window and orders it to the front.
    virtual void showWindow();
    // Closes the window (it is hidden, not deleted).
    virtual void close();

protected:
    // Makes the window; the default makes a plain titled window.
    virtual void loadWindow();
    virtual void windowDidLoad() {}

private:
    QPointer<Window> m_window;
    bool m_loading = false;
};

} // namespace kit
