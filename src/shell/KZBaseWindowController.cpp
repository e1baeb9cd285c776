#include "KZBaseWindowController.h"

#include "KZWindowsManager.h"
#include "foundation/Dispatch.h"

KZBaseWindowController::KZBaseWindowController(const QString& windowNibName, QObject* parent)
    : kit::WindowController(parent), m_nibName(windowNibName) {}

void KZBaseWindowController::windowDidLoad() {
    if (kit::Window* w = window()) {
        w->setDelegate(this);
        if (m_closeButtonOnly)
            setShowWindowCloseButtonOnly(true);
    }
}

void KZBaseWindowController::closeWindow() {
    if (m_presenting)
        KZWindowsManager::shareInstance().dismissWindowController(this);
    else
        KZWindowsManager::shareInstance().closeWindow(this);
}

void KZBaseWindowController::setShowWindowCloseButtonOnly(bool only) {
    m_closeButtonOnly = only;
    if (!isWindowLoaded())
        return;
    kit::Window* w = window();
    Qt::WindowFlags flags = w->windowFlags();
    if (only)
        flags = (flags & ~(Qt::WindowMinMaxButtonsHint)) | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                Qt::WindowCloseButtonHint;
    else
        flags &= ~Qt::CustomizeWindowHint;
    w->setWindowFlags(flags);
}

void KZBaseWindowController::presentWindowController(KZBaseWindowController* controller) {
    if (!controller)
        return;
    controller->windowWillPresent();
    controller->setPresentingWindow(window());
    controller->setPresenting(true);
    KZWindowsManager::shareInstance().presentWindowController(controller);
}

bool KZBaseWindowController::windowShouldClose(kit::Window*) {
    // The title bar's close button takes the same road as every other close; it runs after
    // the close event so the window is not closed from inside its own close handling.
    QPointer<KZBaseWindowController> self(this);
    nubo::runOnMain([self] {
        if (self)
            self->closeFromTitleBar();
    });
    return false;
}

void KZBaseWindowController::windowWillClose(kit::Window*) {
    // A close that did not come through the manager (close() on the top level) still ends the
    // presentation: otherwise the window that presented it would wait for it for good.
    KZWindowsManager& wm = KZWindowsManager::shareInstance();
    if (wm.isPresented(this))
        wm.dismissWindowController(this);
}
