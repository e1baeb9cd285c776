#pragma once

#include <QPointer>

class QMenuBar;
class QWidget;
class KZBaseWindowController;

// The application's main menu and what its items do. Main thread only.
class KZMainMenuManager {
public:
    static inline const QString kSettingWindowClass = QStringLiteral("KZTransportSettingWindowController");

    static KZMainMenuManager& shareInstance();

    // A menu bar with the application menu and its settings item, for `window`.
    QMenuBar* makeMenuBar(QWidget* window);

    // The settings item: brings the kept settings window to the front, or makes it (through the
    // router), keeps it and shows it.
    void setting();
    KZBaseWindowController* settingWindowController() const { return m_setting; }

private:
    KZMainMenuManager() = default;
    QPointer<KZBaseWindowController> m_setting;
};
