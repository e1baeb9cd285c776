#pragma once

#include "cloud/CloudFileInfo.h"

#include <QString>

namespace kit {
class Window;
}

// The in-place renaming protocols shared by list cells, grid items and picker cells.

// A view with a name field that can be put into editing and taken out of it.
class KZTextFieldFocuse {
public:
    virtual ~KZTextFieldFocuse() = default;
    virtual QString textFieldContent() const = 0;
    virtual void focus() = 0;
    virtual void unfocus() = 0;
    // Ends the edit under way so that it counts for nothing: the field takes its record's name
    // back and the delegate hears textFieldDidAbandonEditing, never
    // textFieldDidResignFirstResponder. Nothing happens while no edit is under way.
    virtual void abandonEditing() = 0;
};

// The name field being edited in `window` (its first responder's view), or null.
KZTextFieldFocuse* editingNameField(kit::Window* window);

// A view that shows one cloud record.
class KZFileViewDataSource {
public:
    virtual ~KZFileViewDataSource() = default;
    virtual CloudFileInfoPtr fileInfo() const = 0;
    virtual void setFileInfo(const CloudFileInfoPtr& fileInfo) = 0;
};

// Told when a name field has ended editing; `sender` is the cell or item (also a
// KZFileViewDataSource), whose textFieldContent() is the edited text.
class KZTextFieldDelegate {
public:
    virtual ~KZTextFieldDelegate() = default;
    virtual void textFieldDidResignFirstResponder(KZTextFieldFocuse* sender) { (void)sender; }
    // The edit ended with nothing to send (abandonEditing); `sender` shows its record's name again
    // and still has to be unfocused.
    virtual void textFieldDidAbandonEditing(KZTextFieldFocuse* sender) { (void)sender; }
};
