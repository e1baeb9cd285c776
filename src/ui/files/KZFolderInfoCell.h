#pragma once

#include "foundation/Weak.h"
#include "kit/TextField.h"
#include "kit/View.h"
#include "shell/KZLimitedCharactersFormatter.h"
#include "ui/files/KZFileViewProtocols.h"

#include <memory>

namespace kit {
class ImageView;
}
class KZLabel;
class KZTextFieldCell;

// A cell of the folder picker: a folder's icon and name (type 1) or its modification time
// (type 4). For a folder being created its label gives way to a name field; the delegate hears
// when editing ends.
class KZFolderInfoCell : public kit::View,
                         public kit::TextFieldDelegate,
                         public KZLimitedCharactersFormatterDelegate,
                         public KZTextFieldFocuse,
                         public KZFileViewDataSource {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZFolderInfoCell");

    explicit KZFolderInfoCell(QWidget* parent = nullptr);

    uint type() const { return m_type; }
    // Applied again to the shown node.
    void setType(uint type);
    KZTextFieldDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(KZTextFieldDelegate* d) { m_delegate = d; }

    CloudFileInfoPtr fileInfo() const override { return m_fileInfo; }
    void setFileInfo(const CloudFileInfoPtr& fileInfo) override;

    QString textFieldContent() const override;
    void focus() override;
    void unfocus() override;

    KZLabel* infoLabel() const { return m_infoLabel; }
    KZTextFieldCell* nameTextField() const { return m_nameTextField; }
    kit::ImageView* iconImageView() const { return m_iconImageView; }

    // kit::TextFieldDelegate
    void controlTextDidEndEditing(kit::TextField* field) override;
    bool controlDoCommand(kit::TextField* field, kit::TextCommand command) override;
    // KZLimitedCharactersFormatterDelegate
    void didInputLimitedCharacter(KZLimitedCharactersFormatter* formatter) override;

protected:
    void layout() override;

private:
    uint m_type = 0;
    nubo::Weak<KZTextFieldDelegate> m_delegate;
    CloudFileInfoPtr m_fileInfo;
    KZLabel* m_infoLabel = nullptr;
    KZTextFieldCell* m_nameTextField = nullptr;
    kit::ImageView* m_iconImageView = nullptr;
    std::shared_ptr<KZLimitedCharactersFormatter> m_formatter;
};
