#include "KZWindowsManager.h"

#include "KZBaseWindowController.h"
#include "KZHomePages.h"
#include "KZRouter.h"
#include "KZToast.h"
#include "foundation/Dispatch.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/SingletonT.h"
#include "kit/Application.h"
#include "kit/OpenPanel.h"
#include "kit/View.h"
#include "kit/ViewController.h"
#include "kit/Window.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"

#include <QApplication>

namespace {
const QString kHomeClass = QStringLiteral("KZHomeViewController");
const QString kHomeToolbarClass = QStringLiteral("KZHomeToolbarController");
const QString kPreviewClass = QStringLiteral("KZImagesPreviewWindowController");

template <class T> QList<T*> live(const QList<QPointer<T>>& list) {
    QList<T*> out;
    for (const auto& p : list)
        if (p)
            out.append(p.data());
    return out;
}

KZHomeToolbar* homeToolbar() {
    return dynamic_cast<KZHomeToolbar*>(KZRouter::shareInstance().entityWithClass(kHomeToolbarClass));
}
} // namespace

KZWindowsManager& KZWindowsManager::shareInstance() {
    NUBO_ASSERT_MAIN_THREAD();
    return nubo::SingletonT<KZWindowsManager>::instance();
}

void KZWindowsManager::prune() {
    m_shown.removeIf([](const QPointer<KZBaseWindowController>& p) { return p.isNull(); });
    m_presented.removeIf([](const QPointer<KZBaseWindowController>& p) { return p.isNull(); });
}

QList<KZBaseWindowController*> KZWindowsManager::shownWindowControllers() const {
    return live(m_shown);
}
QList<KZBaseWindowController*> KZWindowsManager::presentedWindowControllers() const {
    return live(m_presented);
}
bool KZWindowsManager::isShown(const KZBaseWindowController* c) const {
    return c && shownWindowControllers().contains(c);
}
bool KZWindowsManager::isPresented(const KZBaseWindowController* c) const {
    return c && presentedWindowControllers().contains(c);
}

void KZWindowsManager::showWindow(KZBaseWindowController* controller) {
    prune();
    if (!controller || isPresented(controller))
        return;
    controller->windowWillAppear();
    kit::Window* w = controller->window();
    // The application comes forward first: activating raises the window that is active now,
    // which must not end up above the one being shown.
    kit::Application::activate();
    if (isShown(controller)) {
        w->orderFront();
    } else {
        m_shown.append(controller);
        w->center();
        w->makeKeyAndOrderFront();
    }
}

void KZWindowsManager::presentWindowController(KZBaseWindowController* controller) {
    prune();
    if (!controller || isShown(controller) || isPresented(controller))
        return;
    controller->windowWillAppear();
    m_presented.append(controller);
    controller->window()->makeDialogOf(dialogParent(controller));
    // The run starts a moment later, so the caller returns at once and the buttons' handlers run
    // after it. The run does not block: the window is application-modal until it is dismissed.
    QPointer<KZBaseWindowController> guard(controller);
    nubo::runAfter(kPresentDelayMs, [guard] {
        // Asked again: the manager may have been reset meanwhile.
        KZWindowsManager* wm = nubo::SingletonT<KZWindowsManager>::existing();
        if (!guard || !wm || !wm->isPresented(guard))
            return;
        kit::Window* win = guard->window();
        win->hide(); // modality takes effect when a window is shown
        win->setWindowModality(Qt::ApplicationModal);
        wm->m_modalWindow = win;
        win->makeKeyAndOrderFront();
    });
}

void KZWindowsManager::presentSheetModalWindowController(KZBaseWindowController* controller,
                                                         kit::Window* window) {
    prune();
    if (!controller || !window || isShown(controller) || isPresented(controller))
        return;
    controller->windowWillAppear();
    m_presented.append(controller);
    window->beginSheet(controller->window());
}

void KZWindowsManager::postDidClose(KZBaseWindowController* controller) {
    nubo::NotificationCenter::defaultCenter().post(kWindowDidCloseNotification,
                                                   QVariant::fromValue<QObject*>(controller));
}

void KZWindowsManager::closeWindow(KZBaseWindowController* controller) {
    prune();
    if (!controller)
        return;
    if (controller->isWindowLoaded())
        controller->window()->close();
    m_shown.removeAll(QPointer<KZBaseWindowController>(controller));
    controller->windowDidDisappear();
    postDidClose(controller);
}

void KZWindowsManager::dismissWindowController(KZBaseWindowController* controller) {
    prune();
    if (!controller)
        return;
    m_presented.removeAll(QPointer<KZBaseWindowController>(controller));
    controller->setPresenting(false);
    if (controller->isWindowLoaded()) {
        kit::Window* w = controller->window();
        if (w == m_modalWindow || w == kit::Application::modalWindow()) {
            if (w == kit::Application::modalWindow())
                kit::Application::stopModal();
            m_modalWindow.clear();
            w->hide();
            w->setWindowModality(Qt::NonModal);
            if (kit::Window* presenting = controller->presentingWindow())
                presenting->makeKeyAndOrderFront();
        } else if (kit::Window* parent = w->sheetParent()) {
            parent->endSheet(w);
        }
        w->close();
    }
    controller->windowDidDisappear();
    postDidClose(controller);
}

QString KZWindowsManager::savedDownloadFolder() {
    const QString folder = nubo::SingletonT<nubo::SystemConfig>::instance().getDownloadPath();
    nubo::paths::prepareDownloadFolder(folder);
    return folder;
}

namespace {
void openPanel(kit::Window* window, bool foldersOnly, KZWindowsManager::UrlsCompletion completion) {
    auto* panel = new kit::OpenPanel;
    panel->setPrompt(QStringLiteral("选取"));
    panel->setCanChooseFiles(!foldersOnly);
    panel->setCanChooseDirectories(true);
    panel->setAllowsMultipleSelection(!foldersOnly);
    if (foldersOnly)
        panel->setDirectory(KZWindowsManager::savedDownloadFolder());
    panel->beginSheetModalForWindow(window, [panel, completion](bool ok, const QList<QUrl>& urls) {
        if (completion)
            completion(ok ? urls : QList<QUrl>());
        panel->deleteLater(); // dropped once it has answered
    });
}
} // namespace

void KZWindowsManager::showPathPanelInWindow(kit::Window* window, UrlsCompletion completion) {
    openPanel(window, true, std::move(completion));
}

void KZWindowsManager::showOpenPanelInWindow(kit::Window* window, UrlsCompletion completion) {
    openPanel(window, false, std::move(completion));
}

KZBaseWindowController* KZWindowsManager::imagesPreviewWindow() {
    for (KZBaseWindowController* c : shownWindowControllers())
        if (c->inherits(kPreviewClass.toLatin1().constData()))
            return c;
    return KZRouter::shareInstance().entityWithClass<KZBaseWindowController>(kPreviewClass);
}

kit::Window* KZWindowsManager::dialogParent(KZBaseWindowController* controller) const {
    if (kit::Window* presenting = controller->presentingWindow(); presenting && presenting->isVisible())
        return presenting;
    // Questions asked from no window (a transfer list's, the database notice) belong to the home
    // window when it is up.
    for (KZBaseWindowController* c : shownWindowControllers())
        if (dynamic_cast<KZHomeWindow*>(c) && c->isWindowLoaded() && c->window()->isVisible())
            return c->window();
    return nullptr;
}

KZHomeWindow* KZWindowsManager::homeWindow() {
    return dynamic_cast<KZHomeWindow*>(KZRouter::shareInstance().entityWithClass(kHomeClass));
}

void KZWindowsManager::closeUserInfoWindow() {
    for (KZBaseWindowController* c : shownWindowControllers())
        if (auto* home = dynamic_cast<KZHomeWindow*>(c))
            home->closeUserInfoWindow();
}

void KZWindowsManager::closeFilesMenusWindow() {
    for (KZBaseWindowController* c : shownWindowControllers())
        if (auto* home = dynamic_cast<KZHomeWindow*>(c))
            if (auto* files = dynamic_cast<KZFilesPage*>(home->currentVisibleViewController()))
                files->closeFilesMenus();
}

void KZWindowsManager::setExpectFilePath(const QString& path) {
    kit::Window* key = kit::Window::of(QApplication::activeWindow());
    if (!key || !key->windowController())
        return;
    if (auto* home = dynamic_cast<KZHomeWindow*>(key->windowController()))
        home->setExpectFilePath(path);
}

void KZWindowsManager::showFailedToast(const QString& text) {
    if (KZHomeWindow* home = homeWindow())
        if (kit::ViewController* page = home->currentVisibleViewController())
            KZToast::showToastWithErrorMessage(page->view(), text);
}

void KZWindowsManager::showWarningToast(const QString& text) {
    if (KZHomeWindow* home = homeWindow())
        if (kit::ViewController* page = home->currentVisibleViewController())
            KZToast::showToastWithWarningMessage(page->view(), text);
}

void KZWindowsManager::showMessageInBottomBarRightArea(const QString& text) {
    if (KZHomeToolbar* bar = homeToolbar())
        bar->showMessageInRightArea(text);
}

void KZWindowsManager::showUploadMessageInBottomBarMiddleArea(const QString& text) {
    if (KZHomeToolbar* bar = homeToolbar())
        bar->showUploadMessageInMiddleArea(text);
}

void KZWindowsManager::showDownloadMessageInBottomBarMiddleArea(const QString& text) {
    if (KZHomeToolbar* bar = homeToolbar())
        bar->showDownloadMessageInMiddleArea(text);
}
