#pragma once

#include "cloud/CloudFileInfo.h"

#include <QString>

// The in-place renaming protocols shared by list cells, grid items and picker cells.

// A view with a name field that can be put into editing and taken out of it.
class KZTextFieldFocuse {
public:
    virtual ~KZTextFieldFocuse() = default;
    virtual QString textFieldContent() const = 0;
    virtual void focus() = 0;
    virtual void unfocus() = 0;
    // Ends an open edit giving it up (Escape): the field shows the record's name again and the
    // delegate hears textFieldDidCancelEditing, so nothing is sent. Nothing while not editing.
    virtual void cancelEditing() = 0;
};

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
    // The edit was given up (cancelEditing): nothing is to be sent for it.
    virtual void textFieldDidCancelEditing(KZTextFieldFocuse* sender) { (void)sender; }
};
