#include "ui/share/KZShareValidityPeriodRows.h"

#include "kit/ImageView.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"

#include "ui/share/KZShareLabelLayout.h"

namespace {
constexpr double kMarkSide = 12;
constexpr double kMarkRight = 14;
} // namespace

KZShareValidityPeriodRowView::KZShareValidityPeriodRowView(QWidget* parent)
    : kit::TableRowView(parent), m_backgroundView(new kit::View(this)),
      m_markImageView(new kit::ImageView(this)) {
    setSelectionHighlightStyle(kit::SelectionHighlightStyle::None);
    m_backgroundView->setCornerRadius(4);
    m_backgroundView->setCustomBackgroundColor(Qt::white);
    m_backgroundView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_backgroundView->lower();
    m_markImageView->setImage(kit::Image::named(QStringLiteral("share_expire_check")));
    m_markImageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_markImageView->hide();
}

void KZShareValidityPeriodRowView::setShareItem(const ShareExpireInfoPtr& item) {
    m_shareItem = item;
    m_markImageView->setVisible(item && item->selected());
}

void KZShareValidityPeriodRowView::layout() {
    m_backgroundView->setFrame(bounds());
    m_backgroundView->lower();
    m_markImageView->setFrame(
        QRectF(width() - kMarkRight - kMarkSide, (height() - kMarkSide) / 2, kMarkSide, kMarkSide));
    m_markImageView->raise();
}

void KZShareValidityPeriodRowView::mouseEntered(const kit::Event& event) {
    kit::TableRowView::mouseEntered(event);
    m_backgroundView->setCustomBackgroundColor(KZStyle::VCBackgroundColor());
}

void KZShareValidityPeriodRowView::mouseExited(const kit::Event& event) {
    kit::TableRowView::mouseExited(event);
    m_backgroundView->setCustomBackgroundColor(Qt::white);
}

void KZShareValidityPeriodRowView::drawSelection(QPainter&, const QRectF&) {}

KZShareValidityPeriodTableCellView::KZShareValidityPeriodTableCellView(QWidget* parent)
    : kit::View(parent), m_titleLabel(new KZLabel(this)) {
    m_titleLabel->setFont(KZStyle::fontOfSize(14));
    m_titleLabel->setTextColor(KZStyle::darkGray2Color());
    m_titleLabel->setTextAlignment(kit::TextAlignment::Left);
    m_titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KZShareValidityPeriodTableCellView::layout() {
    m_titleLabel->setFrame(KZShareLabelLayout::centredLine(m_titleLabel->font(), kTitleLeading, 0,
                                                           width() - kTitleLeading, height()));
}
