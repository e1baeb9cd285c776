#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "home/KZHomeViewController.h"
#include "shell/KZSingleInstance.h"

// The application delegate: the launch steps in their set order, one function each, and the
// shutdown that undoes them in reverse. The process-wide objects are made by these steps in this
// order: single-instance lock; log file; background thread, settings, network monitor; session
// proxy and transfer proxies (session, engines, sync managers); router and pages; main menu and
// shortcuts; window manager and home window; database rescue notice. Shutdown ends them in reverse
// (nubo::SingletonT::reset): it closes the windows, releases the pages and the menu managers,
// signs the transfers and the session out and ends them, writes the settings, stops the
// background thread, ends the notification centre and the log file and lets go of the lock.
class KZAppDelegate : public QObject {
    Q_OBJECT
public:
    KZAppDelegate();
    ~KZAppDelegate() override;

    // Runs every launch step; false when Nubo cannot start (the reason is printed) or when it
    // handed over to a copy already running on the same data folder (see handedOver()).
    bool applicationDidFinishLaunching();
    // This start found a running copy and brought its window forward instead.
    bool handedOver() const { return m_handedOver; }
    // Undoes the launch steps, last first. Safe to call twice.
    void applicationWillTerminate();

    KZHomeViewController* homeWindow() const { return m_home; }

private:
    // Launch steps, in order.
    bool claimDataFolder();
    void startLogging();
    bool openSystemDatabase();
    void startSession();
    void registerPages();
    void buildMainMenu();
    void showFirstWindow();

    // Shutdown steps, in order.
    void closeWindows();
    void releasePages();
    void endSession();
    void saveSettings();

    void bringWindowForward();

    std::unique_ptr<KZSingleInstance> m_instance;
    bool m_handedOver = false;
    QPointer<KZHomeViewController> m_home;
    bool m_launched = false;
};
