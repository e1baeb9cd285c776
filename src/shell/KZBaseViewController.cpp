#include "KZBaseViewController.h"

#include "KZBaseWindowController.h"
#include "KZMessageSet.h"
#include "KZWindowsManager.h"
#include "kit/View.h"

void KZBaseViewController::viewDidLoad() {
    if (auto* delegate = dynamic_cast<KZMessageSetViewDelegate*>(this))
        KZMessageSet::setMessageSetDelegate(view(), delegate);
}

void KZBaseViewController::presentWindowController(KZBaseWindowController* controller) {
    if (!controller)
        return;
    controller->windowWillPresent();
    controller->setPresentingWindow(viewWindow());
    controller->setPresenting(true);
    KZWindowsManager::shareInstance().presentWindowController(controller);
}

void KZBaseViewController::presentSheetModalWindowController(KZBaseWindowController* controller) {
    kit::Window* window = viewWindow();
    if (!controller || !window)
        return;
    controller->windowWillPresent();
    controller->setPresenting(true);
    KZWindowsManager::shareInstance().presentSheetModalWindowController(controller, window);
}
