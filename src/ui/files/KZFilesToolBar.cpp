#include "ui/files/KZFilesToolBar.h"

#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZTools.h"
#include "ui/files/KZFilesImages.h"
#include "ui/files/KZFilesToolBarLayout.h"

#include <QPainter>
#include <cmath>

namespace {
constexpr double kIconSide = 16.0;
constexpr double kIconGap = 4.0;
constexpr double kItemHeight = 26.0;

} // namespace

KZFilesToolBarItemPtr KZFilesToolBarItem::toolBarItemWithTitle(const QString& title, const QString& image,
                                                               bool hasDownArrow, QObject* target,
                                                               Action action) {
    auto item = std::make_shared<KZFilesToolBarItem>();
    item->m_title = title;
    item->m_image = KZFilesImages::named(image);
    item->m_hasDownArrow = hasDownArrow;
    item->m_target = target;
    item->m_action = std::move(action);
    return item;
}

KZFilesToolBarItemView::KZFilesToolBarItemView(KZFilesToolBarItemPtr item, QWidget* parent)
    : kit::View(QRectF(0, 0, 0, kItemHeight), parent), m_item(std::move(item)) {
    setCornerRadius(2);
    setEnable(true);
    m_titleLabel = new KZLabel(this);
    m_titleLabel->setText(m_item->title());
    m_titleLabel->setFont(KZStyle::fontOfSize(14));
    m_titleLabel->setTextColor(KZStyle::darkGray2Color());
    m_titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (m_item->hasDownArrow())
        m_downArrow = KZFilesImages::named(QStringLiteral("files_down_arrow"));
}

void KZFilesToolBarItemView::setEnable(bool enable) {
    m_enable = enable;
    setAlphaValue(enable ? 1.0 : 0.5);
}

double KZFilesToolBarItemView::suggestWidth() {
    if (m_suggestWidth < 0) {
        const double arrow = m_item->hasDownArrow() ? kIconSide : 0;
        m_suggestWidth =
            kIconSide + kIconGap +
            double(KZTools::widthForString(m_item->title(), KZStyle::fontOfSize(14), 0, float(height()))) +
            arrow;
    }
    return m_suggestWidth;
}

void KZFilesToolBarItemView::layout() {
    const double cy = height() * 0.5;
    const double arrow = m_item->hasDownArrow() ? kIconSide : 0;
    m_imageRect = QRectF(0, cy - kIconSide / 2, kIconSide, kIconSide);
    const double titleLeft = m_imageRect.right() + kIconGap;
    const double titleW = std::max(0.0, suggestWidth() - kIconSide - arrow - kIconGap);
    // The label draws its line from its top: as tall as the line, it is centred like the icon.
    const double titleH = std::min(height(), m_titleLabel->sizeThatFits(QSizeF(titleW, 0)).height());
    m_titleLabel->setFrame(QRectF(titleLeft, cy - titleH / 2, titleW, titleH));
    m_arrowRect = QRectF(titleLeft + titleW, cy - kIconSide / 2, arrow, arrow);
}

void KZFilesToolBarItemView::draw(QPainter& painter) {
    if (!m_item->image().isNull())
        painter.drawPixmap(m_imageRect.toRect(), m_item->image().pixmap());
    if (!m_downArrow.isNull())
        painter.drawPixmap(m_arrowRect.toRect(), m_downArrow.pixmap());
}

bool KZFilesToolBarItemView::accepts(const kit::Event& event) const {
    return m_enable && m_item->target() && m_item->action() &&
           bounds().contains(convertFromWindow(event.locationInWindow()));
}

void KZFilesToolBarItemView::mouseDown(const kit::Event& event) {
    if (accepts(event))
        setCustomBackgroundColor(KZStyle::separatorColor());
}

void KZFilesToolBarItemView::mouseUp(const kit::Event& event) {
    if (!accepts(event)) {
        setCustomBackgroundColor(QColor());
        return;
    }
    setCustomBackgroundColor(QColor());
    m_item->action()(this);
}

KZFilesToolBar::KZFilesToolBar(QWidget* parent) : kit::View(parent) {}

void KZFilesToolBar::setLeftItems(const QList<KZFilesToolBarItemPtr>& items) {
    m_leftItems = items;
    setItems(items, 0, m_leftItemViews);
}

void KZFilesToolBar::setRightItems(const QList<KZFilesToolBarItemPtr>& items) {
    m_rightItems = items;
    setItems(items, 1, m_rightItemViews);
}

void KZFilesToolBar::setItems(const QList<KZFilesToolBarItemPtr>& items, quint64 alignment,
                              QList<KZFilesToolBarItemView*>& views) {
    // A second call replaces the group rather than stacking views.
    qDeleteAll(views);
    views.clear();
    for (int i = 0; i < items.size(); ++i) {
        items.at(i)->m_index = quint64(i);
        items.at(i)->m_alignment = alignment;
        auto* v = new KZFilesToolBarItemView(items.at(i));
        addSubview(v);
        views.append(v);
    }
    layout();
}

void KZFilesToolBar::setEnable(bool enable, const KZFilesToolBarItemPtr& item) {
    if (KZFilesToolBarItemView* v = viewOfItem(item))
        v->setEnable(enable);
}

KZFilesToolBarItemView* KZFilesToolBar::viewOfItem(const KZFilesToolBarItemPtr& item) const {
    if (!item)
        return nullptr;
    const auto& views = item->alignment() == 0 ? m_leftItemViews : m_rightItemViews;
    if (item->index() >= quint64(views.size()) || views.at(int(item->index()))->item() != item)
        return nullptr;
    return views.at(int(item->index()));
}

void KZFilesToolBar::layout() {
    const double cy = height() * 0.5;
    auto place = [cy](const QList<KZFilesToolBarItemView*>& views, const QList<double>& edges) {
        for (int i = 0; i < views.size(); ++i) {
            KZFilesToolBarItemView* v = views.at(i);
            v->setFrame(QRectF(edges.at(i), cy - v->height() / 2, v->suggestWidth(), v->height()));
        }
    };
    QList<double> lw, rw;
    for (auto* v : std::as_const(m_leftItemViews))
        lw.append(v->suggestWidth());
    for (auto* v : std::as_const(m_rightItemViews))
        rw.append(v->suggestWidth());
    place(m_leftItemViews, KZFilesToolBarLayout::leftEdges(lw));
    place(m_rightItemViews, KZFilesToolBarLayout::rightGroupEdges(rw, width()));
}
