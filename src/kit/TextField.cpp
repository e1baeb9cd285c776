#include "kit/TextField.h"

#include "kit/Window.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QValidator>

namespace kit {

class TextField::Editor : public QLineEdit {
public:
    explicit Editor(TextField* field) : QLineEdit(field), m_field(field) {}

protected:
    void focusInEvent(QFocusEvent* e) override {
        QLineEdit::focusInEvent(e);
        if (e->reason() == Qt::MouseFocusReason || e->reason() == Qt::TabFocusReason ||
            e->reason() == Qt::BacktabFocusReason)
            m_field->startFromFocus();
    }
    void focusOutEvent(QFocusEvent* e) override {
        QLineEdit::focusOutEvent(e);
        // Losing the window's activation or opening a pop-up does not end editing.
        if (e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason)
            m_field->endFromFocusLoss();
    }
    void keyPressEvent(QKeyEvent* e) override {
        std::optional<TextCommand> cmd;
        switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            cmd = TextCommand::InsertNewline;
            break;
        case Qt::Key_Escape:
            cmd = TextCommand::Cancel;
            break;
        case Qt::Key_Tab:
            cmd = TextCommand::InsertTab;
            break;
        case Qt::Key_Backtab:
            cmd = TextCommand::InsertBacktab;
            break;
        case Qt::Key_Up:
            cmd = TextCommand::MoveUp;
            break;
        case Qt::Key_Down:
            cmd = TextCommand::MoveDown;
            break;
        default:
            break;
        }
        if (cmd) {
            m_field->doCommand(*cmd);
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    bool focusNextPrevChild(bool) override { return false; } // Tab is a command here

private:
    TextField* m_field;
};

// Adapts the formatter to Qt's validation: an invalid answer makes the editor drop the edit.
class TextField::Validator : public QValidator {
public:
    Validator(TextField* field) : QValidator(field), m_field(field) {}
    State validate(QString& input, int&) const override {
        Formatter* f = m_field->m_formatter.get();
        if (!f || m_field->m_settingText)
            return Acceptable;
        const QString& before = m_field->m_acceptedText;
        // What the edit brings in: the part of the new text between the common prefix and suffix.
        int prefix = 0;
        const int maxPrefix = std::min(before.size(), input.size());
        while (prefix < maxPrefix && before[prefix] == input[prefix])
            ++prefix;
        int suffix = 0;
        while (suffix < before.size() - prefix && suffix < input.size() - prefix &&
               before[before.size() - 1 - suffix] == input[input.size() - 1 - suffix])
            ++suffix;
        const QString inserted = input.mid(prefix, input.size() - prefix - suffix);
        return f->isPartialStringValid(input, inserted) ? Acceptable : Invalid;
    }

private:
    TextField* m_field;
};

TextField::TextField(QWidget* parent) : View(parent) {
    init();
}

TextField::TextField(const QRectF& frame, QWidget* parent) : View(parent) {
    init();
    setFrame(frame);
}

TextField::~TextField() = default;

void TextField::init() {
    m_editor = new Editor(this);
    m_editor->setFrame(false);
    m_editor->setAttribute(Qt::WA_MacShowFocusRect, false);
    // Transparent editor: the field's own background and border show through; no focus ring.
    m_editor->setStyleSheet(QStringLiteral("QLineEdit{background:transparent;border:none;}"));
    m_validator = new Validator(this);
    m_editor->setValidator(m_validator);
    connect(m_editor, &QLineEdit::textChanged, this, [this](const QString& t) { m_acceptedText = t; });
    connect(m_editor, &QLineEdit::textEdited, this, [this] {
        if (auto* d = m_delegate.get())
            d->controlTextDidChange(this);
    });
    updateInteraction();
    m_editor->show();
}

QLineEdit* TextField::editor() const {
    return m_editor;
}

QString TextField::stringValue() const {
    return m_editor->text();
}

void TextField::setStringValue(const QString& text) {
    m_settingText = true;
    m_editor->setText(text);
    m_settingText = false;
}

QString TextField::placeholderString() const {
    return m_editor->placeholderText();
}
void TextField::setPlaceholderString(const QString& t) {
    m_editor->setPlaceholderText(t);
}
QFont TextField::font() const {
    return m_editor->font();
}
void TextField::setFont(const QFont& f) {
    m_editor->setFont(f);
}

void TextField::setTextColor(const QColor& c) {
    QPalette pal = m_editor->palette();
    pal.setColor(QPalette::Text, c);
    m_editor->setPalette(pal);
}

void TextField::setAlignment(TextAlignment a) {
    m_editor->setAlignment(a == TextAlignment::Center  ? Qt::AlignCenter
                           : a == TextAlignment::Right ? (Qt::AlignRight | Qt::AlignVCenter)
                                                       : (Qt::AlignLeft | Qt::AlignVCenter));
}

void TextField::setEditable(bool e) {
    m_editable = e;
    updateInteraction();
}

void TextField::setSelectable(bool s) {
    m_selectable = s;
    updateInteraction();
}

void TextField::setBordered(bool b) {
    m_editor->setFrame(b);
    m_editor->setStyleSheet(b ? QString() : QStringLiteral("QLineEdit{background:transparent;border:none;}"));
}

void TextField::setFormatter(std::shared_ptr<Formatter> f) {
    m_formatter = std::move(f);
}

void TextField::updateInteraction() {
    m_editor->setReadOnly(!(m_editable && m_editing));
    const bool interactive = m_editable || m_selectable;
    m_editor->setFocusPolicy(interactive ? Qt::ClickFocus : Qt::NoFocus);
    m_editor->setAttribute(Qt::WA_TransparentForMouseEvents, !interactive);
}

void TextField::selectRange(int start, int length) {
    const int n = m_editor->text().size();
    start = std::clamp(start, 0, n);
    length = std::clamp(length, 0, n - start);
    m_editor->setSelection(start, length);
}

QPair<int, int> TextField::selectedRange() const {
    if (!m_editor->hasSelectedText())
        return {m_editor->cursorPosition(), 0};
    return {m_editor->selectionStart(), int(m_editor->selectedText().size())};
}

bool TextField::becomeFirstResponder() {
    if (!acceptsFirstResponder())
        return false;
    if (m_editing)
        return true;
    m_editing = true;
    updateInteraction();
    m_editor->setFocus(Qt::OtherFocusReason);
    m_editor->selectAll();
    if (auto* d = m_delegate.get())
        d->controlTextDidBeginEditing(this);
    return true;
}

bool TextField::resignFirstResponder() {
    if (!m_editing)
        return true;
    m_ending = true;
    m_editing = false;
    updateInteraction();
    m_editor->deselect();
    if (m_editor->hasFocus())
        m_editor->clearFocus();
    m_ending = false;
    if (auto* d = m_delegate.get())
        d->controlTextDidEndEditing(this);
    return true;
}

void TextField::startFromFocus() {
    if (m_editing || m_ending)
        return;
    if (Window* w = kitWindow())
        w->makeFirstResponder(this);
    else
        becomeFirstResponder();
}

void TextField::endFromFocusLoss() {
    if (!m_editing || m_ending)
        return;
    Window* w = kitWindow();
    if (w && w->firstResponder() == this)
        w->makeFirstResponder(nullptr);
    else
        resignFirstResponder();
}

void TextField::doCommand(TextCommand command) {
    QPointer<TextField> guard(this);
    if (auto* d = m_delegate.get(); d && d->controlDoCommand(this, command))
        return;
    if (!guard || command != TextCommand::InsertNewline)
        return;
    if (m_action) {
        auto action = m_action;
        action();
    }
    if (guard && m_editing)
        endFromFocusLoss();
}

void TextField::layout() {
    m_editor->setGeometry(0, 0, QWidget::width(), QWidget::height());
}

SearchField::SearchField(QWidget* parent) : TextField(parent) {
    editor()->setClearButtonEnabled(true);
    setBordered(true);
    connect(editor(), &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!m_whole && m_search)
            m_search(t);
    });
    setAction([this] {
        if (m_search)
            m_search(stringValue());
    });
}

} // namespace kit
