#include "KZAppDelegate.h"

#include "cloud/CloudLaunch.h"
#include "cloud/KZImageCache.h"
#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/Dispatch.h"
#include "foundation/LogFile.h"
#include "foundation/NetworkMonitor.h"
#include "foundation/NotificationCenter.h"
#include "foundation/SingletonT.h"
#include "home/KZHomeViewController.h"
#include "shell/KZDatabaseRescueNotice.h"
#include "shell/KZMainMenuManager.h"
#include "shell/KZRouter.h"
#include "shell/KZShortcutKeysManager.h"
#include "shell/KZURLHandler.h"
#include "shell/KZWindowsManager.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "transport/TransferSession.h"
#include "ui/files/KZFilesViewController.h"
#include "ui/files/KZImagesPreviewWindowController.h"
#include "ui/share/KZShareFilesViewController.h"
#include "ui/share/KZShareWindowControler.h"
#include "ui/transport/KZTransportSettingWindowController.h"
#include "ui/transport/KZTransportViewController.h"

#include <cstdio>

KZAppDelegate::KZAppDelegate() = default;

KZAppDelegate::~KZAppDelegate() {
    applicationWillTerminate();
}

bool KZAppDelegate::applicationDidFinishLaunching() {
    if (!claimDataFolder())
        return false;
    startLogging();
    if (!openSystemDatabase())
        return false;
    startSession();
    registerPages();
    buildMainMenu();
    showFirstWindow();
    // A local database found damaged (now, or at sign-in) is told once, over the window.
    KZDatabaseRescueNotice::shareInstance().start();
    m_launched = true;
    return true;
}

void KZAppDelegate::applicationWillTerminate() {
    if (!m_launched)
        return;
    m_launched = false;
    // The launch steps undone, last first.
    closeWindows();
    releasePages();
    endSession();
    saveSettings();
    // Last: the pages above unregistered from it as they went.
    nubo::SingletonT<nubo::NotificationCenter>::reset();
    // The log ends while the folder is still this copy's, so the next copy appends after it.
    nubo::log::stopFileLog();
    m_instance.reset();
}

bool KZAppDelegate::claimDataFolder() {
    // One copy at a time works on a data folder's databases and transfers; a later start hands
    // over to the running copy, as a desktop program does.
    const QString folder = nubo::paths::dataFolder();
    if (!nubo::paths::moveNestedDataFolder(folder))
        std::fprintf(stderr,
                     "Nubo: the data in %s/Nubo (kept there by an earlier version) could not be moved "
                     "up; it is left as it was.\n",
                     qPrintable(folder));
    m_instance = std::make_unique<KZSingleInstance>(folder);
    m_instance->setRaiseHandler([this] { bringWindowForward(); });
    switch (m_instance->claim()) {
    case KZSingleInstance::Claim::First:
        return true;
    case KZSingleInstance::Claim::Raised:
        m_handedOver = true;
        break;
    case KZSingleInstance::Claim::Failed:
        std::fprintf(stderr, "Nubo: not starting: %s.\n", qPrintable(m_instance->errorString()));
        break;
    }
    m_instance.reset();
    return false;
}

void KZAppDelegate::bringWindowForward() {
    if (!m_home)
        return;
    kit::Window* w = m_home->window();
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    KZWindowsManager::shareInstance().showWindow(m_home);
    w->makeKeyAndOrderFront();
}

void KZAppDelegate::startLogging() {
    // Only the copy that holds the data folder writes its log. A log that cannot be written
    // loses its lines, never the program.
    nubo::log::startFileLog(nubo::paths::dataFolder() + QStringLiteral("/log"));
}

bool KZAppDelegate::openSystemDatabase() {
    // The background thread comes first: the settings write on it, the session and the engines
    // work on it.
    nubo::KZBackgroundThread::shared();
    const BWError error = nubo::SingletonT<nubo::SystemConfig>::instance().lastError();
    if (error)
        std::fprintf(stderr,
                     "Nubo: the settings database could not be opened (%s); settings stay in memory.\n",
                     qPrintable(error.localizedDescription()));
    // The network state is followed from launch on; transfers ask it later.
    NetworkMonitor::getInstance();
    return true;
}

void KZAppDelegate::startSession() {
    // The session opens web pages only through the kit's opener, which keeps to http and https.
    KZURLHandler::installURLOpener();
    nubo::transfer::createTransferProxies(); // they answer on this thread
    // Signs in to the service's account and sets the thumbnail budget; the transfers then sign in
    // and restore their unfinished jobs.
    nubo::startCloudSession([](const BWError& error) {
        if (!error)
            nubo::transfer::startTransfersAfterSignIn();
    });
}

void KZAppDelegate::registerPages() {
    KZHomeViewController::registerWithRouter();
    KZFilesViewController::registerWithRouter();
    KZTransportViewController::registerWithRouter();
    KZTransportSettingWindowController::registerWithRouter();
    KZImagesPreviewWindowController::registerWithRouter();
    KZShareWindowControler::registerWithRouter();
    KZShareFilesViewController::registerWithRouter();
}

void KZAppDelegate::buildMainMenu() {
    // The menu bar itself sits in each main window; here the managers behind it start.
    KZMainMenuManager::shareInstance();
    KZShortcutKeysManager::shareInstance();
}

void KZAppDelegate::showFirstWindow() {
    // Nubo has no sign-in window: the home window opens at once.
    m_home =
        KZRouter::shareInstance().entityWithClass<KZHomeViewController>(KZHomeViewController::kClassName);
    if (m_home)
        KZWindowsManager::shareInstance().showWindow(m_home);
}

void KZAppDelegate::closeWindows() {
    KZWindowsManager& wm = KZWindowsManager::shareInstance();
    for (KZBaseWindowController* c : wm.presentedWindowControllers())
        wm.dismissWindowController(c);
    for (KZBaseWindowController* c : wm.shownWindowControllers())
        wm.closeWindow(c);
    nubo::SingletonT<KZDatabaseRescueNotice>::reset();
}

void KZAppDelegate::endSession() {
    nubo::transfer::signOutTransfers(); // workers stop; every job is on record for the next start
    nubo::transfer::endTransfers();
    // The session closes the per-user database after the requests already queued.
    nubo::KZBackgroundThread::shared().runAndWait([] { KZSession::sharedSession().logout(); });
    nubo::SingletonT<KZSessionProxy>::reset();
    nubo::SingletonT<KZSession>::reset();
    nubo::SingletonT<KZImageCache>::reset();
}

void KZAppDelegate::saveSettings() {
    nubo::SingletonT<nubo::SystemConfig>::reset(); // writes the changes of the last moment
    nubo::SingletonT<NetworkMonitor>::reset();
    // Nothing queued on the background thread runs after this.
    nubo::KZBackgroundThread::shared().stop();
}

void KZAppDelegate::releasePages() {
    // Long-life pages and windows go while the application object still exists; the pages
    // unregister from the menu managers as they go.
    nubo::SingletonT<KZRouter>::reset();
    nubo::SingletonT<KZWindowsManager>::reset();
    nubo::SingletonT<KZShortcutKeysManager>::reset();
    nubo::SingletonT<KZMainMenuManager>::reset();
}
