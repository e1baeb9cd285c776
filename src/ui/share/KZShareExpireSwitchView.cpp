#include "ui/share/KZShareExpireSwitchView.h"

#include "kit/ImageView.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"

#include "ui/share/KZShareLabelLayout.h"

KZShareExpireSwitchView::KZShareExpireSwitchView(QWidget* parent) : kit::View(parent) {
    setUp();
}

void KZShareExpireSwitchView::setUp() {
    setCornerRadius(4);
    setBorderWidth(1);
    setBorderColor(KZStyle::separatorColor());
    const QFont font = KZStyle::fontOfSize(14);
    m_titleLabel = new KZLabel(KZShareLabelLayout::centredLine(font, 16, 0, 100, 36), this);
    m_titleLabel->setFont(font);
    m_titleLabel->setTextColor(KZStyle::titleColor());
    m_titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_markImageView = new kit::ImageView(this);
    m_markImageView->setFrame(QRectF(72, 12, 12, 12));
    m_markImageView->setImage(kit::Image::named(QStringLiteral("share_arrow_down")));
    m_markImageView->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KZShareExpireSwitchView::setTitle(const QString& title) {
    m_title = title;
    m_titleLabel->setText(title);
    KZShareLabelLayout::centreOnText(m_titleLabel, 16, 0, 100, 36);
}

void KZShareExpireSwitchView::mouseEntered(const kit::Event& event) {
    kit::View::mouseEntered(event);
    if (auto* d = m_delegate.get())
        d->expireDateSwitch();
}

void KZShareExpireSwitchView::mouseExited(const kit::Event& event) {
    kit::View::mouseExited(event);
    if (auto* d = m_delegate.get())
        d->leaveExpireDateSwitch(event);
}
