#pragma once

#include "foundation/Weak.h"
#include "kit/TextField.h"
#include "kit/View.h"

class KZButton;
class KZFileSearchView;
class KZTextFieldCell;
namespace kit {
class ImageView;
}

class KZFileSearchViewDelegate {
public:
    virtual ~KZFileSearchViewDelegate() = default;
    // The user changed the text; `field` is the field whose text changed.
    virtual void fileSearchViewControlTextDidChange(kit::TextField* field) { (void)field; }
    virtual void clearTextAction() {}
};

// The rounded search field of the file page: a search icon, the text and a clear button that
// shows only while there is text being typed.
class KZFileSearchView : public kit::View, public kit::TextFieldDelegate {
    Q_OBJECT
public:
    static inline const QString kPlaceholder = QStringLiteral("搜索文件名称");

    explicit KZFileSearchView(QWidget* parent = nullptr);

    KZTextFieldCell* textField() const { return m_textField; }
    kit::ImageView* searchImagView() const { return m_searchImagView; }
    KZButton* deleteButton() const { return m_deleteButton; }
    void setDelegate(KZFileSearchViewDelegate* d) { m_delegate = d; }

    void hidddenDeleteButton(bool hidden);
    // The clear button: empties the field, ends editing and tells the delegate.
    void clearText();
    // Empties the field without telling anyone (navigation left the search).
    void resetText();

    // kit::TextFieldDelegate
    void controlTextDidEndEditing(kit::TextField* field) override;
    void controlTextDidChange(kit::TextField* field) override;
    // Escape does what the clear button does.
    bool controlDoCommand(kit::TextField* field, kit::TextCommand command) override;

private:
    KZTextFieldCell* m_textField = nullptr;
    kit::ImageView* m_searchImagView = nullptr;
    KZButton* m_deleteButton = nullptr;
    nubo::Weak<KZFileSearchViewDelegate> m_delegate;
};
