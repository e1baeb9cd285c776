#include "KZHomeNavigator.h"

#include "kit/Event.h"
#include "kit/Image.h"
#include "shell/KZStyle.h"

#include <QPainter>

namespace {
constexpr qreal kTopInset = 16;
constexpr qreal kIcon = 20;
} // namespace

KZHomeNavigator::KZHomeNavigator(QWidget* parent) : kit::View(parent) {
    setCustomBackgroundColor(KZStyle::VCBackgroundColor());
    setFixedWidth(int(kWidth));
}

void KZHomeNavigator::addItem(const QString& title, const QString& imageName) {
    m_items.append({title, imageName});
    update();
}

QString KZHomeNavigator::titleAtIndex(int index) const {
    return index >= 0 && index < m_items.size() ? m_items[index].title : QString();
}

void KZHomeNavigator::selectIndex(int index) {
    if (index < 0 || index >= m_items.size() || index == m_selected)
        return;
    m_selected = index;
    update();
    if (auto* d = m_delegate.get())
        d->homeNavigatorDidSelectIndex(this, index);
}

QRectF KZHomeNavigator::itemFrame(int index) const {
    return QRectF(8, kTopInset + index * kItemHeight, width() - 16, kItemHeight - 4);
}

void KZHomeNavigator::mouseDown(const kit::Event& event) {
    if (event.clickCount() >= 2) {
        if (auto* d = m_delegate.get())
            d->homeNavigatorDidDoubleClick(this);
        return;
    }
    const QPointF p = convertFromWindow(event.locationInWindow());
    for (int i = 0; i < m_items.size(); ++i)
        if (itemFrame(i).contains(p))
            return selectIndex(i);
}

void KZHomeNavigator::draw(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(KZStyle::fontOfSize(14));
    for (int i = 0; i < m_items.size(); ++i) {
        const QRectF r = itemFrame(i);
        const bool selected = i == m_selected;
        if (selected) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(KZStyle::tabbarHighlightTintColor());
            painter.drawRoundedRect(r, 6, 6);
        }
        const kit::Image icon = kit::Image::named(m_items[i].image);
        if (!icon.isNull())
            painter.drawImage(QRectF(r.left() + 16, r.center().y() - kIcon / 2, kIcon, kIcon),
                              icon.toImage());
        painter.setPen(selected ? KZStyle::tabbarTintColor() : KZStyle::titleColor());
        painter.drawText(r.adjusted(16 + kIcon + 12, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         m_items[i].title);
    }
}
