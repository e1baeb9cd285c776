#include "ui/share/KZShareListCells.h"

#include "kit/ImageView.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZWindowsManager.h"

#include "ui/share/KZShareLabelLayout.h"

namespace {
// Text starts where the header's column titles do.
constexpr double kTextLeft = 10;

} // namespace

KZShareLabelCellView::KZShareLabelCellView(QWidget* parent)
    : kit::View(parent), m_textLabel(new KZLabel(this)) {
    m_textLabel->setFont(KZStyle::fontOfSize(12));
    m_textLabel->setTextColor(KZStyle::darkGray2Color());
    m_textLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KZShareLabelCellView::setStringValue(const QString& text) {
    m_textLabel->setText(text);
    layout();
}

QString KZShareLabelCellView::stringValue() const {
    return m_textLabel->text();
}

void KZShareLabelCellView::layout() {
    KZShareLabelLayout::centreOnText(m_textLabel, kTextLeft, 0, width() - kTextLeft, height());
}

KZTableViewFileNameCellView::KZTableViewFileNameCellView(QWidget* parent)
    : KZShareLabelCellView(parent), m_imageBox(new kit::View(this)),
      m_iconImageView(new kit::ImageView(m_imageBox)) {
    m_textLabel->setTextColor(KZStyle::titleColor());
    m_imageBox->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_iconImageView->setImageScaling(kit::ImageScaling::ProportionallyUpOrDown);
}

void KZTableViewFileNameCellView::layout() {
    m_imageBox->setFrame(QRectF(kImageBoxLeft, (height() - kImageBoxSide) / 2, kImageBoxSide, kImageBoxSide));
    m_iconImageView->setFrame(m_imageBox->bounds());
    const double x =
        m_iconImageView->isHidden() ? kLabelLeftWithoutIcon : m_imageBox->right() + kGapAfterIcon;
    KZShareLabelLayout::centreOnText(m_textLabel, x, 0, width() - x - kLabelRightMargin, height());
}

KZTableViewFilePathCellView::KZTableViewFilePathCellView(QWidget* parent) : KZShareLabelCellView(parent) {
    m_textLabel->setTextColor(KZStyle::tabbarTintColor());
    m_textLabel->setLineBreakMode(kit::LineBreakMode::TruncateMiddle);
}

QRectF KZTableViewFilePathCellView::clickableRect() const {
    const QSizeF fits = m_textLabel->sizeThatFits(QSizeF(m_textLabel->width(), m_textLabel->height()));
    const double w = std::min(fits.width(), m_textLabel->width());
    const double h = std::min(fits.height(), m_textLabel->height());
    return QRectF(m_textLabel->x(), m_textLabel->y() + (m_textLabel->height() - h) / 2, w, h);
}

void KZTableViewFilePathCellView::ationButtonClicked() {
    if (auto* d = m_delegate.get())
        d->didTableViewFilePathCellViewClicked(this);
}

void KZTableViewFilePathCellView::mouseDown(const kit::Event& event) {
    m_pressed = clickableRect().contains(convertFromWindow(event.locationInWindow()));
    if (!m_pressed)
        KZShareLabelCellView::mouseDown(event); // the row's own click
}

void KZTableViewFilePathCellView::mouseUp(const kit::Event& event) {
    if (!m_pressed)
        return KZShareLabelCellView::mouseUp(event);
    m_pressed = false;
    if (clickableRect().contains(convertFromWindow(event.locationInWindow())))
        ationButtonClicked();
}

void KZShareTableView::mouseDown(const kit::Event& event) {
    kit::TableView::mouseDown(event);
    KZWindowsManager::shareInstance().closeUserInfoWindow();
}
