#pragma once

#include "cloud/CloudFileInfo.h"
#include "foundation/Weak.h"
#include "kit/TextField.h"
#include "kit/View.h"
#include "shell/KZLimitedCharactersFormatter.h"
#include "ui/files/KZFileViewProtocols.h"

#include <memory>

class KZLabel;
class KZTextFieldCell;

// What the file list's and the folder picker's table cells share: a record's text in a label
// that gives way to a name field for renaming or naming a new folder. The field refuses the
// characters a name cannot hold; Return or leaving the field ends the edit, a blank entry is
// put back to the record's name, and the delegate hears of it. An abandoned edit ends with the
// record's name and is told apart, so that nothing is sent for it; Escape abandons the edit.
class KZNameCell : public kit::View,
                   public kit::TextFieldDelegate,
                   public KZLimitedCharactersFormatterDelegate,
                   public KZTextFieldFocuse {
public:
    KZTextFieldDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(KZTextFieldDelegate* d) { m_delegate = d; }

    KZLabel* infoLabel() const { return m_infoLabel; }
    KZTextFieldCell* nameTextField() const { return m_nameTextField; }

    QString textFieldContent() const override;
    void unfocus() override;
    void abandonEditing() override;

    // kit::TextFieldDelegate
    void controlTextDidEndEditing(kit::TextField* field) override;
    bool controlDoCommand(kit::TextField* field, kit::TextCommand command) override;

protected:
    explicit KZNameCell(QWidget* parent);

    // Shows the field with the record's name, its first `selected` characters selected.
    void beginEditing(int selected);
    // The label (one line, centred) and the field from `x` to `gap` before the right edge.
    void layoutText(double x, double gap);

    CloudFileInfoPtr m_fileInfo;
    KZLabel* m_infoLabel = nullptr;
    KZTextFieldCell* m_nameTextField = nullptr;

private:
    nubo::Weak<KZTextFieldDelegate> m_delegate;
    std::shared_ptr<KZLimitedCharactersFormatter> m_formatter;
    bool m_abandoning = false;
};
