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
} // namespace

KZFolderInfoCell::KZFolderInfoCell(QWidget* parent) : KZNameCell(parent) {
    m_iconImageView = new kit::ImageView(this);
    m_iconImageView->setImageScaling(kit::ImageScaling::ProportionallyUpOrDown);
    m_iconImageView->setHidden(true);
    m_iconImageView->lower(); // below the label and the field, as it was made before them
    m_nameTextField->setCustomBackgroundColor(Qt::transparent);
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
    layoutText(m_iconImageView->isHidden() ? kGap : m_iconImageView->right() + kGap, kGap);
}

void KZFolderInfoCell::focus() {
    // The whole proposed name is selected: a new folder's name has no extension.
    beginEditing(int(m_fileInfo ? m_fileInfo->name().size() : 0));
}

void KZFolderInfoCell::didInputLimitedCharacter(KZLimitedCharactersFormatter*) {
    // Shown in the picker's own window, which is in front of the page.
    if (kit::Window* w = kitWindow())
        KZToast::showToastWithWarningMessage(w->contentView(), KZFileInfoCell::kLimitedCharacterWarning);
}
