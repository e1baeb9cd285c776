#pragma once

#include "kit/ViewController.h"

class KZBaseWindowController;

// Base of the pages and lists. A page that also implements KZMessageSetViewDelegate becomes its
// view's empty-state delegate once the view has loaded (subclasses overriding viewDidLoad()
// call this one first).
class KZBaseViewController : public kit::ViewController {
    Q_OBJECT
public:
    explicit KZBaseViewController(QObject* parent = nullptr) : kit::ViewController(parent) {}

    // Presents `controller` application-modally over this page's window.
    void presentWindowController(KZBaseWindowController* controller);
    // Presents `controller` as a sheet on this page's window; nothing when the page has no window.
    void presentSheetModalWindowController(KZBaseWindowController* controller);

protected:
    void viewDidLoad() override;
};
