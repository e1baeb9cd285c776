#include "kit/TextField.h"

#include "kit/Window.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QValidator>

namespace kit {

namespace {

// The keys that are editing commands rather than text.
std::optional<TextCommand> commandForKey(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return TextCommand::InsertNewline;
    case Qt::Key_Escape:
        return TextCommand::Cancel;
    case Qt::Key_Tab:
        return TextCommand::InsertTab;
    case Qt::Key_Backtab:
        return TextCommand::InsertBacktab;
    case Qt::Key_Up:
        return TextCommand::MoveUp;
    case Qt::Key_Down:
        return TextCommand::MoveDown;
    default:
        return std::nullopt;
    }
}

// An Escape nobody took goes on to the window (which may close on it); other commands are the
// field's even when untaken, so that Tab or Return never reach the window's own handling.
void passOnUntaken(QKeyEvent* e, bool taken, TextCommand command) {
    if (!taken && command == TextCommand::Cancel)
        e->ignore();
    else
        e->accept();
}

// What an edit brings in: the part of the new text between the prefix and suffix it shares
// with the old one.
QString insertedText(const QString& before, const QString& after) {
    int prefix = 0;
    const int maxPrefix = int(std::min(before.size(), after.size()));
    while (prefix < maxPrefix && before[prefix] == after[prefix])
        ++prefix;
    int suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return after.mid(prefix, after.size() - prefix - suffix);
}

} // namespace

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
        if (const auto cmd = commandForKey(e->key())) {
            passOnUntaken(e, m_field->doCommand(*cmd), *cmd);
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
        const QString inserted = insertedText(m_field->m_acceptedText, input);
        return f->isPartialStringValid(input, inserted) ? Acceptable : Invalid;
    }

private:
    TextField* m_field;
};

// The editor of a wrapping field: the same commands and focus rules as the one-line editor.
class TextField::WrapEditor : public QPlainTextEdit {
public:
    explicit WrapEditor(TextField* field) : QPlainTextEdit(field), m_field(field) {
        setFrameShape(QFrame::NoFrame);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        setTabChangesFocus(false);
        document()->setDocumentMargin(1);
        viewport()->setAutoFillBackground(false);
        setStyleSheet(QStringLiteral("QPlainTextEdit{background:transparent;border:none;}"));
    }

protected:
    void focusInEvent(QFocusEvent* e) override {
        QPlainTextEdit::focusInEvent(e);
        if (e->reason() == Qt::MouseFocusReason || e->reason() == Qt::TabFocusReason ||
            e->reason() == Qt::BacktabFocusReason)
            m_field->startFromFocus();
    }
    void focusOutEvent(QFocusEvent* e) override {
        QPlainTextEdit::focusOutEvent(e);
        if (e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason)
            m_field->endFromFocusLoss();
    }
    void keyPressEvent(QKeyEvent* e) override {
        // Up and down move between the wrapped lines here.
        const auto cmd = commandForKey(e->key());
        if (cmd && *cmd != TextCommand::MoveUp && *cmd != TextCommand::MoveDown) {
            passOnUntaken(e, m_field->doCommand(*cmd), *cmd);
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }
    void insertFromMimeData(const QMimeData* source) override {
        // A name is one line: pasted line breaks go.
        QString text = source->text();
        text.remove(QLatin1Char('\r'));
        text.replace(QLatin1Char('\n'), QString());
        insertPlainText(text);
    }
    bool focusNextPrevChild(bool) override { return false; }

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

QPlainTextEdit* TextField::wrapEditor() const {
    return m_wrapEditor;
}

QWidget* TextField::activeEditor() const {
    return m_wrapEditor ? static_cast<QWidget*>(m_wrapEditor) : m_editor;
}

void TextField::setMaximumNumberOfLines(int lines) {
    m_maxLines = std::max(1, lines);
    if (m_maxLines == 1 || m_wrapEditor)
        return;
    m_wrapEditor = new WrapEditor(this);
    m_wrapEditor->setFont(m_editor->font());
    m_wrapEditor->setPalette(m_editor->palette());
    m_wrapEditor->setPlaceholderText(m_editor->placeholderText());
    m_wrapEditor->document()->setDefaultTextOption([this] {
        QTextOption o = m_wrapEditor->document()->defaultTextOption();
        o.setAlignment(m_editor->alignment() & Qt::AlignHorizontal_Mask);
        o.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        return o;
    }());
    const QString text = m_editor->text();
    m_editor->hide();
    m_settingText = true;
    m_wrapEditor->setPlainText(text);
    m_settingText = false;
    m_acceptedText = text;
    connect(m_wrapEditor, &QPlainTextEdit::textChanged, this, [this] { wrapTextChanged(); });
    updateInteraction();
    m_wrapEditor->show();
    layout();
}

// Checks an edit of the wrapping editor as the validator does for the one-line editor.
void TextField::wrapTextChanged() {
    if (m_settingText)
        return;
    QString input = m_wrapEditor->toPlainText();
    const QString& before = m_acceptedText;
    bool valid = !input.contains(QLatin1Char('\n'));
    if (valid && m_formatter)
        valid = m_formatter->isPartialStringValid(input, insertedText(before, input));
    if (!valid) {
        const int cursor = std::min<int>(m_wrapEditor->textCursor().position(), int(before.size()));
        m_settingText = true;
        m_wrapEditor->setPlainText(before);
        QTextCursor c = m_wrapEditor->textCursor();
        c.setPosition(std::max(0, cursor - int(input.size() - before.size())));
        m_wrapEditor->setTextCursor(c);
        m_settingText = false;
        return;
    }
    m_acceptedText = input;
    if (auto* d = m_delegate.get())
        d->controlTextDidChange(this);
}

QString TextField::stringValue() const {
    return m_wrapEditor ? m_wrapEditor->toPlainText() : m_editor->text();
}

void TextField::setStringValue(const QString& text) {
    m_settingText = true;
    m_editor->setText(text);
    if (m_wrapEditor)
        m_wrapEditor->setPlainText(text);
    m_acceptedText = text;
    m_settingText = false;
}

QString TextField::placeholderString() const {
    return m_editor->placeholderText();
}
void TextField::setPlaceholderString(const QString& t) {
    m_editor->setPlaceholderText(t);
    if (m_wrapEditor)
        m_wrapEditor->setPlaceholderText(t);
}
QFont TextField::font() const {
    return m_editor->font();
}
void TextField::setFont(const QFont& f) {
    m_editor->setFont(f);
    if (m_wrapEditor)
        m_wrapEditor->setFont(f);
}

void TextField::setTextColor(const QColor& c) {
    QPalette pal = m_editor->palette();
    pal.setColor(QPalette::Text, c);
    m_editor->setPalette(pal);
    if (m_wrapEditor)
        m_wrapEditor->setPalette(pal);
}

void TextField::setAlignment(TextAlignment a) {
    m_editor->setAlignment(a == TextAlignment::Center  ? Qt::AlignCenter
                           : a == TextAlignment::Right ? (Qt::AlignRight | Qt::AlignVCenter)
                                                       : (Qt::AlignLeft | Qt::AlignVCenter));
    if (m_wrapEditor) {
        QTextOption o = m_wrapEditor->document()->defaultTextOption();
        o.setAlignment(m_editor->alignment() & Qt::AlignHorizontal_Mask);
        m_wrapEditor->document()->setDefaultTextOption(o);
    }
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
    if (m_wrapEditor) {
        m_wrapEditor->setReadOnly(!(m_editable && m_editing));
        m_wrapEditor->setFocusPolicy(interactive ? Qt::ClickFocus : Qt::NoFocus);
        m_wrapEditor->setAttribute(Qt::WA_TransparentForMouseEvents, !interactive);
        m_wrapEditor->viewport()->setAttribute(Qt::WA_TransparentForMouseEvents, !interactive);
    }
}

void TextField::selectRange(int start, int length) {
    const int n = int(stringValue().size());
    start = std::clamp(start, 0, n);
    length = std::clamp(length, 0, n - start);
    if (m_wrapEditor) {
        QTextCursor c = m_wrapEditor->textCursor();
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        m_wrapEditor->setTextCursor(c);
        return;
    }
    m_editor->setSelection(start, length);
}

QPair<int, int> TextField::selectedRange() const {
    if (m_wrapEditor) {
        const QTextCursor c = m_wrapEditor->textCursor();
        return {c.selectionStart(), c.selectionEnd() - c.selectionStart()};
    }
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
    activeEditor()->setFocus(Qt::OtherFocusReason);
    if (m_wrapEditor)
        m_wrapEditor->selectAll();
    else
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
    if (m_wrapEditor) {
        QTextCursor c = m_wrapEditor->textCursor();
        c.clearSelection();
        m_wrapEditor->setTextCursor(c);
    }
    if (activeEditor()->hasFocus())
        activeEditor()->clearFocus();
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

bool TextField::doCommand(TextCommand command) {
    QPointer<TextField> guard(this);
    if (auto* d = m_delegate.get(); d && d->controlDoCommand(this, command))
        return true;
    if (!guard || command != TextCommand::InsertNewline)
        return false;
    m_action();
    if (guard && m_editing)
        endFromFocusLoss();
    return true;
}

void TextField::layout() {
    activeEditor()->setGeometry(0, 0, QWidget::width(), QWidget::height());
}

SearchField::SearchField(QWidget* parent) : TextField(parent) {
    editor()->setClearButtonEnabled(true);
    setBordered(true);
    connect(editor(), &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!m_whole)
            m_search(t);
    });
    setAction(this, [this] { m_search(stringValue()); });
}

} // namespace kit
