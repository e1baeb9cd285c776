#pragma once

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <memory>

#include "home/KZHomeViewController.h"

// The application delegate: the launch steps in their set order, one function each, and the
// shutdown that undoes them in reverse. Later steps (the session, the transfer proxies, the
// thumbnail budget) join the list as their parts arrive.
class KZAppDelegate : public QObject {
    Q_OBJECT
public:
    KZAppDelegate();
    ~KZAppDelegate() override;

    // Runs every launch step; false when Nubo cannot start (the reason is printed).
    bool applicationDidFinishLaunching();
    // Undoes the launch steps, last first. Safe to call twice.
    void applicationWillTerminate();

    KZHomeViewController* homeWindow() const { return m_home; }

private:
    // Launch steps, in order.
    bool quitEarlierCopy();
    bool openSystemDatabase();
    void registerPages();
    void buildMainMenu();
    void showFirstWindow();

    // Shutdown steps.
    void closeWindows();
    void releasePages();

    std::unique_ptr<QLockFile> m_instanceLock;
    QPointer<KZHomeViewController> m_home;
    bool m_launched = false;
};
