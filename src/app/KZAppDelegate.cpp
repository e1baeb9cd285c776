#include "KZAppDelegate.h"

#include "cloud/CloudLaunch.h"
#include "foundation/NetworkMonitor.h"
#include "home/KZHomeViewController.h"
#include "shell/KZMainMenuManager.h"
#include "shell/KZRouter.h"
#include "shell/KZShortcutKeysManager.h"
#include "shell/KZWindowsManager.h"
#include "storage/SingletonT.h"
#include "storage/SystemConfig.h"
#include "transfer/TransferSession.h"
#include "ui/files/KZFilesViewController.h"
#include "ui/files/KZImagesPreviewWindowController.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <unistd.h>

KZAppDelegate::KZAppDelegate() = default;

KZAppDelegate::~KZAppDelegate() {
    applicationWillTerminate();
}

bool KZAppDelegate::applicationDidFinishLaunching() {
    if (!quitEarlierCopy())
        return false;
    if (!openSystemDatabase())
        return false;
    nubo::transfer::createTransferProxies(); // they answer on this thread
    // Signs in to the service's account and sets the thumbnail budget; the transfers then sign in
    // and restore their unfinished jobs.
    nubo::startCloudSession([](const BWError& error) {
        if (!error)
            nubo::transfer::startTransfersAfterSignIn();
    });
    registerPages();
    buildMainMenu();
    showFirstWindow();
    m_launched = true;
    return true;
}

void KZAppDelegate::applicationWillTerminate() {
    if (!m_launched)
        return;
    m_launched = false;
    nubo::transfer::signOutTransfers(); // workers stop; every job is on record for the next start
    closeWindows();
    releasePages();
    m_instanceLock.reset();
}

bool KZAppDelegate::quitEarlierCopy() {
    // One copy at a time works on the databases and transfers: a newer copy asks the earlier one
    // to quit and takes over once it has gone.
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    m_instanceLock = std::make_unique<QLockFile>(runtime + QStringLiteral("/nubo.lock"));
    m_instanceLock->setStaleLockTime(0);
    if (m_instanceLock->tryLock(100))
        return true;
    qint64 pid = 0;
    QString host, app;
    if (m_instanceLock->getLockInfo(&pid, &host, &app) && pid > 0 && pid != qint64(::getpid()) &&
        app == QFileInfo(QCoreApplication::applicationFilePath()).fileName()) {
        std::fprintf(stderr, "Nubo: asking the running copy (pid %lld) to quit.\n",
                     static_cast<long long>(pid));
        ::kill(pid_t(pid), SIGTERM);
    }
    if (m_instanceLock->tryLock(5000))
        return true;
    std::fprintf(stderr, "Nubo: another copy is still running; not starting a second one.\n");
    return false;
}

bool KZAppDelegate::openSystemDatabase() {
    const BWError error = nubo::SingletonT<nubo::SystemConfig>::instance().lastError();
    if (error)
        std::fprintf(stderr,
                     "Nubo: the settings database could not be opened (%s); settings stay in memory.\n",
                     qPrintable(error.localizedDescription()));
    // The network state is followed from launch on; transfers ask it later.
    NetworkMonitor::getInstance();
    return true;
}

void KZAppDelegate::registerPages() {
    KZHomeViewController::registerWithRouter();
    KZFilesViewController::registerWithRouter();
    KZImagesPreviewWindowController::registerWithRouter();
}

void KZAppDelegate::buildMainMenu() {
    // The menu bar itself sits in each main window; here the managers behind it start.
    KZMainMenuManager::shareInstance();
    KZShortcutKeysManager::shareInstance();
}

void KZAppDelegate::showFirstWindow() {
    // Sign-in is not part of this build: the home window opens at once.
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
    KZShortcutKeysManager::shareInstance().suspend();
}

void KZAppDelegate::releasePages() {
    // Long-life pages and windows go while the application object still exists.
    KZRouter::shareInstance().reset();
    KZWindowsManager::shareInstance().reset();
}
