#include "ui/files/KZFileCollectionHeaderView.h"

#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"

namespace {
// The header spans the grid's width; its parts line up with the tiles' left inset.
constexpr double kLeftInset = 16;
} // namespace

KZFileCollectionHeaderView::KZFileCollectionHeaderView(QWidget* parent) : kit::View(parent) {
    setCustomBackgroundColor(Qt::white);
    m_titleLabel = new KZLabel;
    m_titleLabel->setText(QStringLiteral("文件"));
    m_titleLabel->setFont(KZStyle::subTitleFont());
    m_titleLabel->setTextColor(KZStyle::grayTitleColor());
    m_titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_checkBoxButton = new KZCheckBoxButton(QRectF(1 + kLeftInset, 0, 14, 14));
    m_checkBoxButton->setAction(this, [this](KZButton*) { checkBoxButtonPressed(); });
    m_checkBoxButton->setEnabled(m_enable);
    addSubview(m_titleLabel);
    addSubview(m_checkBoxButton);
}

void KZFileCollectionHeaderView::setEnable(bool enable) {
    m_enable = enable;
    m_checkBoxButton->setEnabled(enable);
}

void KZFileCollectionHeaderView::setSelected(bool selected) {
    m_selected = selected;
    if (m_checkBoxButton->checked() != selected)
        m_checkBoxButton->setChecked(selected);
}

void KZFileCollectionHeaderView::checkBoxButtonPressed() {
    m_selected = m_checkBoxButton->checked();
    if (auto* d = m_delegate.get())
        d->fileCollectionHeaderViewDidPressSelectButton(this, m_checkBoxButton);
}

void KZFileCollectionHeaderView::layout() {
    // The title follows 8 after the box.
    m_checkBoxButton->setFrameOrigin(QPointF(m_checkBoxButton->left(), (height() - 14) / 2));
    const double left = m_checkBoxButton->right() + 8;
    const double h = m_titleLabel->sizeThatFits(QSizeF(0, 0)).height();
    m_titleLabel->setFrame(QRectF(left, (height() - h) / 2, std::max(0.0, width() - 16 - left), h));
}
