#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "home/KZHomeViewController.h"
#include "shell/KZSingleInstance.h"

// The application delegate: the launch steps in their set order, one function each, and the
// shutdown that undoes them in reverse.
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
    bool openSystemDatabase();
    void startSession();
    void registerPages();
    void buildMainMenu();
    void showFirstWindow();

    // Shutdown steps.
    void closeWindows();
    void releasePages();

    void bringWindowForward();

    std::unique_ptr<KZSingleInstance> m_instance;
    bool m_handedOver = false;
    QPointer<KZHomeViewController> m_home;
    bool m_launched = false;
};
