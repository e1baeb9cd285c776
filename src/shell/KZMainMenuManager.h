#pragma once

#include <QPointer>
#include <functional>

class QMenuBar;
class QWidget;
class KZBaseWindowController;
namespace nubo {
template <class T> class SingletonT;
}

// The application's main menu and what its items do. Main thread only.
class KZMainMenuManager {
public:
    static inline const QString kSettingWindowClass = QStringLiteral("KZTransportSettingWindowController");

    // Reset with SingletonT<KZMainMenuManager>::reset() (main thread).
    static KZMainMenuManager& shareInstance();

    // A menu bar with the application menu (settings, quit), for `window`.
    QMenuBar* makeMenuBar(QWidget* window);

    // The quit item (Ctrl+Q from any window): ends the event loop, so that the application
    // shuts down as after its last window closed. Tests replace what it does.
    void quit();
    void setQuitHandler(std::function<void()> handler) { m_quit = std::move(handler); }

    // The settings item: brings the kept settings window to the front, or makes it (through the
    // router), keeps it and shows it.
    void setting();
    KZBaseWindowController* settingWindowController() const { return m_setting; }

private:
    friend class nubo::SingletonT<KZMainMenuManager>;
    KZMainMenuManager() = default;
    QPointer<KZBaseWindowController> m_setting;
    std::function<void()> m_quit;
};
