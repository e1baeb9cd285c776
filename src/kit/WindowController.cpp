#include "kit/WindowController.h"

#include "foundation/Log.h"
#include "kit/Window.h"

namespace kit {

WindowController::WindowController(QObject* parent) : QObject(parent) {}

WindowController::WindowController(Window* window, QObject* parent) : QObject(parent) {
    setWindow(window);
}

WindowController::~WindowController() {
    delete m_window.data();
}

Window* WindowController::window() {
    NUBO_ASSERT_MAIN_THREAD();
    if (!m_window && !m_loading) {
        m_loading = true;
        loadWindow();
        if (!m_window)
            setWindow(new Window);
        m_loading = false;
        windowDidLoad();
    }
    return m_window;
}

void WindowController::setWindow(Window* window) {
    if (window == m_window)
        return;
    Window* old = m_window;
    m_window = window;
    if (window)
        window->m_controller = this;
    delete old;
}

void WindowController::showWindow() {
    if (Window* w = window())
        w->makeKeyAndOrderFront();
}

void WindowController::close() {
    if (m_window)
        m_window->close();
}

void WindowController::loadWindow() {
    setWindow(new Window);
}

} // namespace kit
