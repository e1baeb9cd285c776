#include "ui/files/KZFileViewProtocols.h"

#include "kit/TextField.h"
#include "kit/Window.h"

KZTextFieldFocuse* editingNameField(kit::Window* window) {
    // A name field's delegate is the cell or tile that owns it.
    auto* field = window ? qobject_cast<kit::TextField*>(window->firstResponder()) : nullptr;
    return field && field->isEditing() ? dynamic_cast<KZTextFieldFocuse*>(field->delegate()) : nullptr;
}

void abandonNameEdit(kit::TextField* field, const QString& name, bool& abandoning) {
    if (!field || !field->isEditing())
        return;
    abandoning = true;
    field->setStringValue(name);
    if (kit::Window* w = field->kitWindow())
        w->makeFirstResponder(nullptr);
    else
        field->resignFirstResponder();
    abandoning = false;
}
