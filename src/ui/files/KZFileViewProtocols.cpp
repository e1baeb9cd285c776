#include "ui/files/KZFileViewProtocols.h"

#include "kit/TextField.h"
#include "kit/Window.h"

KZTextFieldFocuse* editingNameField(kit::Window* window) {
    // A name field's delegate is the cell or tile that owns it.
    auto* field = window ? qobject_cast<kit::TextField*>(window->firstResponder()) : nullptr;
    return field && field->isEditing() ? dynamic_cast<KZTextFieldFocuse*>(field->delegate()) : nullptr;
}
