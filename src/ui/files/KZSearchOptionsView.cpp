#include "ui/files/KZSearchOptionsView.h"

#include "shell/KZLabel.h"
#include "shell/KZStyle.h"

#include <QFontMetricsF>
#include <QPointer>
#include <cmath>

KZSearchOptionItemView::KZSearchOptionItemView(const QString& title, Selector selector, QWidget* parent)
    : kit::View(parent), m_title(title), m_selector(std::move(selector)) {
    setFrameSize(QSizeF(0, kHeight));
    setCornerRadius(2.0);
    m_label = new KZLabel;
    m_label->setFont(KZStyle::fontOfSize(12));
    m_label->setTextColor(KZStyle::titleColor());
    m_label->setTextAlignment(kit::TextAlignment::Center);
    m_label->setText(title);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    addSubview(m_label);
}

double KZSearchOptionItemView::suggestWidth() const {
    if (m_suggestWidth < 0)
        m_suggestWidth =
            std::ceil(float(QFontMetricsF(KZStyle::fontOfSize(12)).horizontalAdvance(m_title))) + 18.0;
    return m_suggestWidth;
}

void KZSearchOptionItemView::setSelected(bool selected) {
    m_selected = selected;
    setCustomBackgroundColor(selected ? KZStyle::separatorColor() : QColor(Qt::transparent));
}

void KZSearchOptionItemView::mouseDown(const kit::Event& event) {
    if (m_selected || !m_selector)
        return;
    if (!bounds().contains(convertFromWindow(event.locationInWindow())))
        return;
    setSelected(true);
    auto selector = m_selector; // the receiver may drop this item
    selector(this);
}

void KZSearchOptionItemView::layout() {
    // The label follows the item's size.
    m_label->setFrame(bounds());
    const double h = m_label->sizeThatFits(QSizeF(width(), 0)).height();
    m_label->setFrame(QRectF(0, (height() - h) / 2, width(), h));
}

KZSearchOptionsView::KZSearchOptionsView(QWidget* parent) : kit::View(parent) {
    m_topSeparator = new kit::View;
    m_bottomSeparator = new kit::View;
    for (kit::View* s : {m_topSeparator, m_bottomSeparator}) {
        s->setCustomBackgroundColor(KZStyle::separatorColor());
        addSubview(s);
    }
    m_descriptionLabel = new KZLabel(QRectF(16, 0, 28, 26));
    m_descriptionLabel->setFont(KZStyle::fontOfSize(12));
    m_descriptionLabel->setTextColor(KZStyle::titleColor());
    m_descriptionLabel->setText(QStringLiteral("搜索:"));
    addSubview(m_descriptionLabel);
    m_searchAllItemView = new KZSearchOptionItemView(
        kAllFilesTitle, [this](KZSearchOptionItemView* item) { itemClicked(item); });
    m_searchAllItemView->setSelected(true);
    addSubview(m_searchAllItemView);
}

void KZSearchOptionsView::updateOtherSearchedDirectory(const CloudFileInfoPtr& node) {
    if (m_searchCurrentItemView) {
        m_searchCurrentItemView->removeFromSuperview();
        m_searchCurrentItemView->deleteLater();
        m_searchCurrentItemView = nullptr;
    }
    m_searchedDirectory = node;
    if (!node || node->isRootFile()) {
        m_searchAllItemView->setSelected(true);
        return;
    }
    m_searchCurrentItemView =
        new KZSearchOptionItemView(node->name(), [this](KZSearchOptionItemView* item) { itemClicked(item); });
    addSubview(m_searchCurrentItemView);
    const bool inFolder = node->nid() == node->searchNid();
    m_searchCurrentItemView->setSelected(inFolder);
    m_searchAllItemView->setSelected(!inFolder);
    setNeedsLayout();
}

void KZSearchOptionsView::itemClicked(KZSearchOptionItemView* item) {
    if (!m_searchedDirectory)
        return;
    if (item && item == m_searchCurrentItemView) {
        m_searchAllItemView->setSelected(false);
        m_searchedDirectory->setSearchNid(m_searchedDirectory->nid());
    } else {
        if (m_searchCurrentItemView)
            m_searchCurrentItemView->setSelected(false);
        m_searchedDirectory->setSearchNid(0);
    }
    if (auto* d = m_delegate.get())
        d->didSelectSearchedDirectory(m_searchedDirectory);
}

void KZSearchOptionsView::layout() {
    const double h = height();
    const double w = width();
    // At least 28 wide, more where the desktop's font needs it; one line's height, centred.
    const QSizeF text = m_descriptionLabel->sizeThatFits(QSizeF(0, 0));
    m_descriptionLabel->setFrame(
        QRectF(16, h / 2 - text.height() / 2, std::max(28.0, text.width()), text.height()));
    m_searchAllItemView->setFrame(
        QRectF(m_descriptionLabel->right() + 10, h / 2 - KZSearchOptionItemView::kHeight / 2,
               m_searchAllItemView->suggestWidth(), KZSearchOptionItemView::kHeight));
    m_topSeparator->setFrame(QRectF(0, 0, w, 1));
    m_bottomSeparator->setFrame(QRectF(0, h - 1, w, 1));
    if (m_searchCurrentItemView)
        m_searchCurrentItemView->setFrame(
            QRectF(m_searchAllItemView->right() + 10, h / 2 - KZSearchOptionItemView::kHeight / 2,
                   m_searchCurrentItemView->suggestWidth(), KZSearchOptionItemView::kHeight));
}
