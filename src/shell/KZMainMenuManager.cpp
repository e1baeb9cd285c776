#include "KZMainMenuManager.h"

#include "KZBaseWindowController.h"
#include "KZRouter.h"
#include "KZWindowsManager.h"
#include "foundation/SingletonT.h"
#include "kit/Application.h"
#include "kit/Window.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QMenuBar>

KZMainMenuManager& KZMainMenuManager::shareInstance() {
    return nubo::SingletonT<KZMainMenuManager>::instance();
}

QMenuBar* KZMainMenuManager::makeMenuBar(QWidget* window) {
    auto* bar = new QMenuBar(window);
    QMenu* app = bar->addMenu(QStringLiteral("Nubo"));
    QAction* settings = app->addAction(QStringLiteral("设置…"));
    settings->setMenuRole(QAction::PreferencesRole);
    QObject::connect(settings, &QAction::triggered, bar,
                     [] { KZMainMenuManager::shareInstance().setting(); });
    app->addSeparator();
    QAction* quit = app->addAction(QStringLiteral("退出 Nubo"));
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Also from the settings window or a pop-up, not only while the main window has the focus.
    quit->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(quit, &QAction::triggered, bar, [] { KZMainMenuManager::shareInstance().quit(); });
    return bar;
}

void KZMainMenuManager::quit() {
    if (m_quit)
        m_quit();
    else
        QCoreApplication::quit();
}

void KZMainMenuManager::setting() {
    kit::Application::activate();
    if (m_setting) {
        m_setting->window()->orderFront();
        return;
    }
    m_setting = KZRouter::shareInstance().entityWithClass<KZBaseWindowController>(kSettingWindowClass);
    if (m_setting)
        KZWindowsManager::shareInstance().showWindow(m_setting);
}
