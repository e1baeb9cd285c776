#pragma once

#include "foundation/Weak.h"
#include "kit/Callback.h"
#include "kit/Formatter.h"
#include "kit/Label.h"
#include "kit/View.h"

#include <functional>
#include <memory>

class QLineEdit;
class QPlainTextEdit;

namespace kit {

class TextField;

// Editing commands a text field offers its delegate before handling them itself.
enum class TextCommand { InsertNewline, Cancel, InsertTab, InsertBacktab, MoveUp, MoveDown };

class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual void controlTextDidBeginEditing(TextField*) {}
    virtual void controlTextDidChange(TextField*) {}
    virtual void controlTextDidEndEditing(TextField*) {}
    // True when the delegate handled the command (the field then does nothing more).
    virtual bool controlDoCommand(TextField*, TextCommand) { return false; }
};

// A one-line text field. It edits only while it is its window's first responder: becoming first
// responder starts editing (the delegate hears "begin"), resigning ends it ("end"). Clicking into
// an editable field makes it first responder. Return, unless the delegate handles it, runs the
// action and ends editing. Escape, unless the delegate handles it, goes on to the window. A
// formatter can reject any edit. No focus ring is drawn.
class TextField : public View {
    Q_OBJECT
public:
    explicit TextField(QWidget* parent = nullptr);
    explicit TextField(const QRectF& frame, QWidget* parent = nullptr);
    ~TextField() override;

    QString stringValue() const;
    void setStringValue(const QString& text);
    QString placeholderString() const;
    void setPlaceholderString(const QString& text);
    QFont font() const;
    void setFont(const QFont& font);
    void setTextColor(const QColor& color);
    void setAlignment(TextAlignment alignment);
    bool isEditable() const { return m_editable; }
    void setEditable(bool editable);
    bool isSelectable() const { return m_selectable; }
    void setSelectable(bool selectable);
    // A sunken frame around the text (off by default).
    void setBordered(bool bordered);
    // More than one line wraps the text at the field's width (word by word, or anywhere in a
    // word too long for a line) in up to that many lines; the owner gives the field their
    // height. The text itself stays one line: Return is a command and pasted breaks are dropped.
    void setMaximumNumberOfLines(int lines);
    int maximumNumberOfLines() const { return m_maxLines; }
    bool isWrapping() const { return m_wrapEditor != nullptr; }

    void setDelegate(TextFieldDelegate* d) { m_delegate = d; }
    TextFieldDelegate* delegate() const { return m_delegate.get(); }
    void setFormatter(std::shared_ptr<Formatter> formatter);
    Formatter* formatter() const { return m_formatter.get(); }
    // Dropped when `context` goes.
    void setAction(const QObject* context, std::function<void()> action) {
        m_action = {context, std::move(action)};
    }

    bool isEditing() const { return m_editing; }
    // Selects characters [start, start + length) of the text being edited.
    void selectRange(int start, int length);
    QPair<int, int> selectedRange() const;

    bool acceptsFirstResponder() const override { return m_editable || m_selectable; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // The editor widget (for tests and focus plumbing); a wrapping field edits in wrapEditor().
    QLineEdit* editor() const;
    QPlainTextEdit* wrapEditor() const;

    // Runs a command as the keyboard would; false when nobody took it (the key goes on).
    bool doCommand(TextCommand command);

protected:
    void layout() override;

private:
    class Editor;
    class WrapEditor;
    class Validator;
    friend class Editor;
    friend class WrapEditor;
    void init();
    void updateInteraction();
    void startFromFocus();
    void endFromFocusLoss();
    QWidget* activeEditor() const;
    void wrapTextChanged();

    Editor* m_editor = nullptr;
    WrapEditor* m_wrapEditor = nullptr;
    int m_maxLines = 1;
    Validator* m_validator = nullptr;
    nubo::Weak<TextFieldDelegate> m_delegate;
    std::shared_ptr<Formatter> m_formatter;
    Callback<> m_action;
    QString m_acceptedText; // the text before the edit being checked
    bool m_editable = true;
    bool m_selectable = true;
    bool m_editing = false;
    bool m_ending = false;
    bool m_settingText = false;
};

// A text field for search: a clear button, a placeholder, and an action run on every change
// (or only on Return when `sendsWholeSearchString` is set).
class SearchField : public TextField {
    Q_OBJECT
public:
    explicit SearchField(QWidget* parent = nullptr);
    void setSearchAction(const QObject* context, std::function<void(const QString&)> action) {
        m_search = {context, std::move(action)};
    }
    void setSendsWholeSearchString(bool whole) { m_whole = whole; }

private:
    Callback<const QString&> m_search;
    bool m_whole = false;
};

} // namespace kit
