#include "ui/common/KZFileOperateCellView.h"

#include "shell/KZStyle.h"

#include <QFontMetricsF>
#include <cmath>

namespace {
constexpr double kTextLeft = 16;
constexpr double kArrowSide = 12;
constexpr double kArrowRight = 10;
constexpr double kLineInset = 8;

kit::View* makeLine(QWidget* parent) {
    auto* v = new kit::View(parent);
    v->setCustomBackgroundColor(KZStyle::separatorColor());
    v->setAttribute(Qt::WA_TransparentForMouseEvents);
    return v;
}
} // namespace

KZFileOperateCellView::KZFileOperateCellView(QWidget* parent) : kit::View(parent) {
    setIdentifier(kIdentifier);
    setAttribute(Qt::WA_TransparentForMouseEvents); // clicks and hover belong to the row
    m_titleLabel = new KZLabel(this);
    m_titleLabel->setFont(KZStyle::fontOfSize(14));
    m_titleLabel->setTextColor(KZStyle::darkGray2Color());
    m_topLineView = makeLine(this);
    m_bottomLineView = makeLine(this);
    m_rightArrowView = new kit::ImageView(this);
    m_rightArrowView->setImage(kit::Image::named(QStringLiteral("menu_right_arrow")));
    m_topLineView->hide();
    m_bottomLineView->hide();
    m_rightArrowView->hide();
}

double KZFileOperateCellView::widthForTitle(const QString& title) {
    // The title runs from its left inset to the arrow's place, which every row keeps.
    return kTextLeft + std::ceil(QFontMetricsF(KZStyle::fontOfSize(14)).horizontalAdvance(title)) +
           kArrowSide + kArrowRight;
}

void KZFileOperateCellView::layout() {
    const double h = height();
    const double lineWidth = std::max(0.0, width() - 2 * kLineInset);
    m_topLineView->setFrame(QRectF(kLineInset, 0, lineWidth, 1));
    m_bottomLineView->setFrame(QRectF(kLineInset, std::floor(h / 2), lineWidth, 1));
    m_rightArrowView->setFrame(
        QRectF(width() - kArrowRight - kArrowSide, (h - kArrowSide) / 2, kArrowSide, kArrowSide));
    const double textHeight = QFontMetricsF(m_titleLabel->font()).height();
    m_titleLabel->setFrame(QRectF(kTextLeft, std::round((h - textHeight) / 2),
                                  std::max(0.0, m_rightArrowView->left() - kTextLeft), textHeight));
}

void KZFileOperateCellView::setItem(const KZFileOperateMenuItemPtr& item) {
    m_item = item;
    const quint64 type = item ? quint64(item->type()) : quint64(KZFileOperateItemTypeSeparator);
    m_titleLabel->setText(item ? item->title() : QString());
    m_topLineView->setVisible(false);
    m_rightArrowView->setVisible(type == KZFileOperateItemTypeDisplayMode ||
                                 type == KZFileOperateItemTypeSort);
    m_bottomLineView->setVisible(type == KZFileOperateItemTypeSeparator);
}
