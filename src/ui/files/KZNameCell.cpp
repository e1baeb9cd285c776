#include "ui/files/KZNameCell.h"

#include "kit/Window.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZTextFieldCell.h"

namespace {
constexpr double kFieldHeight = 22;
} // namespace

KZNameCell::KZNameCell(QWidget* parent) : kit::View(parent) {
    m_infoLabel = new KZLabel(this);
    m_infoLabel->setFont(KZStyle::fontOfSize(12));
    m_infoLabel->setTextColor(KZStyle::titleColor());
    m_infoLabel->setLineBreakMode(kit::LineBreakMode::TruncateMiddle);
    m_infoLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_nameTextField = new KZTextFieldCell(QString(), this);
    m_nameTextField->setEditable(true);
    m_nameTextField->setFont(KZStyle::fontOfSize(12));
    m_nameTextField->setTextColor(KZStyle::titleColor());
    m_nameTextField->setDelegate(this);
    m_formatter = std::make_shared<KZLimitedCharactersFormatter>();
    m_formatter->setDelegate(this);
    m_nameTextField->setFormatter(m_formatter);
    m_nameTextField->setHidden(true);
}

void KZNameCell::layoutText(double x, double gap) {
    const double w = std::max(0.0, width() - x - gap);
    // The label draws from its top: one line's height, centred in the cell.
    const double lineHeight = std::min(height(), m_infoLabel->sizeThatFits(QSizeF(0, 0)).height());
    m_infoLabel->setFrame(QRectF(x, (height() - lineHeight) / 2, w, lineHeight));
    m_nameTextField->setFrame(QRectF(x, (height() - kFieldHeight) / 2, w, kFieldHeight));
}

QString KZNameCell::textFieldContent() const {
    return m_nameTextField->stringValue();
}

void KZNameCell::beginEditing(int selected) {
    m_infoLabel->setHidden(true);
    m_nameTextField->setHidden(false);
    const QString name = m_fileInfo ? m_fileInfo->name() : QString();
    if (kit::Window* w = kitWindow())
        w->makeFirstResponder(m_nameTextField);
    m_nameTextField->setStringValue(name);
    m_nameTextField->selectRange(0, selected);
}

void KZNameCell::unfocus() {
    m_infoLabel->setHidden(false);
    m_nameTextField->setHidden(true);
    if (kit::Window* w = kitWindow())
        w->makeFirstResponder(nullptr);
    m_infoLabel->setText(m_nameTextField->stringValue());
}

bool KZNameCell::controlDoCommand(kit::TextField*, kit::TextCommand command) {
    if (command == kit::TextCommand::Cancel) { // Escape: the edit counts for nothing
        abandonEditing();
        return true;
    }
    if (command != kit::TextCommand::InsertNewline)
        return false;
    // Return ends the edit by giving up the first responder; the field need do nothing more.
    if (kit::Window* w = kitWindow())
        w->makeFirstResponder(nullptr);
    return true;
}

void KZNameCell::abandonEditing() {
    if (!m_nameTextField->isEditing())
        return;
    m_abandoning = true;
    m_nameTextField->setStringValue(m_fileInfo ? m_fileInfo->name() : QString());
    if (kit::Window* w = kitWindow())
        w->makeFirstResponder(nullptr);
    else
        m_nameTextField->resignFirstResponder();
    m_abandoning = false;
}

void KZNameCell::controlTextDidEndEditing(kit::TextField*) {
    if (m_abandoning) {
        if (m_delegate)
            m_delegate->textFieldDidAbandonEditing(this);
        return;
    }
    if (m_nameTextField->stringValue().trimmed().isEmpty())
        m_nameTextField->setStringValue(m_fileInfo ? m_fileInfo->name() : QString());
    if (m_delegate)
        m_delegate->textFieldDidResignFirstResponder(this);
}
