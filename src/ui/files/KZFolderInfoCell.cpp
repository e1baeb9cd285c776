#include "ui/files/KZFolderInfoCell.h"

#include "kit/ImageView.h"
#include "kit/Window.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZTextFieldCell.h"
#include "shell/KZToast.h"
#include "shell/KZTools.h"
#include "ui/files/KZFileInfoCell.h"

namespace {
constexpr double kIconSide = 24;
constexpr double kIconLeft = 10;
constexpr double kGap = 10;
constexpr double kFieldHeight = 22;
} // namespace

KZFolderInfoCell::KZFolderInfoCell(QWidget* parent) : kit::View(parent) {
    m_iconImageView = new kit::ImageView(this);
    m_iconImageView->setImageScaling(kit::ImageScaling::ProportionallyUpOrDown);
    m_iconImageView->setHidden(true);
    m_infoLabel = new KZLabel(this);
    m_infoLabel->setFont(KZStyle::fontOfSize(12));
    m_infoLabel->setTextColor(KZStyle::titleColor());
    m_infoLabel->setLineBreakMode(kit::LineBreakMode::TruncateMiddle);
    m_infoLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_nameTextField = new KZTextFieldCell(QString(), this);
    m_nameTextField->setEditable(true);
    m_nameTextField->setFont(KZStyle::fontOfSize(12));
    m_nameTextField->setTextColor(KZStyle::titleColor());
    m_nameTextField->setCustomBackgroundColor(Qt::transparent);
    m_nameTextField->setDelegate(this);
    // The same characters are refused here as in the file list's name field.
    m_formatter = std::make_shared<KZLimitedCharactersFormatter>();
    m_formatter->setDelegate(this);
    m_nameTextField->setFormatter(m_formatter);
    m_nameTextField->setHidden(true);
}

void KZFolderInfoCell::setType(uint type) {
    m_type = type;
    if (m_fileInfo)
        setFileInfo(m_fileInfo);
}

void KZFolderInfoCell::setFileInfo(const CloudFileInfoPtr& fileInfo) {
    m_fileInfo = fileInfo;
    m_iconImageView->setHidden(true);
    if (!fileInfo)
        return;
    if (m_type == KZFileInfoCellTypeName) {
        m_iconImageView->setImage(KZTools::getDefaultIconForFileInfo(fileInfo));
        m_iconImageView->setHidden(false);
        m_infoLabel->setText(fileInfo->name());
        m_infoLabel->setTextColor(KZStyle::titleColor());
        m_nameTextField->setStringValue(fileInfo->name());
    } else if (m_type == KZFileInfoCellTypeModifyTime) {
        m_infoLabel->setText(KZTools::getReadableTimeInterval(fileInfo->m_fmtime()));
        m_infoLabel->setTextColor(KZStyle::darkGray2Color());
    }
    layout();
}

void KZFolderInfoCell::layout() {
    m_iconImageView->setFrame(QRectF(kIconLeft, (height() - kIconSide) / 2, kIconSide, kIconSide));
    const double x = m_iconImageView->isHidden() ? kGap : m_iconImageView->right() + kGap;
    const double w = std::max(0.0, width() - x - kGap);
    // The label draws from its top: one line's height, centred in the cell.
    const double lineHeight = std::min(height(), m_infoLabel->sizeThatFits(QSizeF(0, 0)).height());
    m_infoLabel->setFrame(QRectF(x, (height() - lineHeight) / 2, w, lineHeight));
    m_nameTextField->setFrame(QRectF(x, (height() - kFieldHeight) / 2, w, kFieldHeight));
}

QString KZFolderInfoCell::textFieldContent() const {
    return m_nameTextField->stringValue();
}

void KZFolderInfoCell::focus() {
    m_infoLabel->setHidden(true);
    m_nameTextField->setHidden(false);
    if (kit::Window* w = kitWindow())
        w->makeFirstResponder(m_nameTextField);
    m_nameTextField->setStringValue(m_fileInfo ? m_fileInfo->name() : QString());
    m_nameTextField->selectRange(0, int(m_nameTextField->stringValue().size()));
}

void KZFolderInfoCell::unfocus() {
    m_infoLabel->setHidden(false);
    m_nameTextField->setHidden(true);
    if (kit::Window* w = kitWindow())
        w->makeFirstResponder(nullptr);
    m_infoLabel->setText(m_nameTextField->stringValue());
}

void KZFolderInfoCell::controlTextDidEndEditing(kit::TextField*) {
    // A blank entry falls back to the proposed name; any other text is sent as typed.
    if (m_nameTextField->stringValue().trimmed().isEmpty())
        m_nameTextField->setStringValue(m_fileInfo ? m_fileInfo->name() : QString());
    if (m_delegate)
        m_delegate->textFieldDidResignFirstResponder(this);
}

bool KZFolderInfoCell::controlDoCommand(kit::TextField*, kit::TextCommand command) {
    if (command != kit::TextCommand::InsertNewline)
        return false;
    // Giving up the first responder ends the edit once; the field need not end it again.
    if (kit::Window* w = kitWindow())
        w->makeFirstResponder(nullptr);
    return true;
}

void KZFolderInfoCell::didInputLimitedCharacter(KZLimitedCharactersFormatter*) {
    // Shown in the picker's own window, which is in front of the page.
    if (kit::Window* w = kitWindow())
        KZToast::showToastWithWarningMessage(w->contentView(), KZFileInfoCell::kLimitedCharacterWarning);
}
