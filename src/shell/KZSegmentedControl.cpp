#include "KZSegmentedControl.h"

#include "KZStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace {
constexpr qreal kSegmentGap = 32;
constexpr qreal kIndicatorWidth = 28;
constexpr qreal kIndicatorHeight = 2;
} // namespace

KZSegmentedControl::KZSegmentedControl(QWidget* parent) : kit::View(parent) {}

void KZSegmentedControl::insertTitle(const QString& title, int index) {
    index = qBound(0, index, int(m_titles.size()));
    m_titles.insert(index, title);
    if (m_selected >= index)
        ++m_selected;
    update();
}

void KZSegmentedControl::updateTitle(const QString& title, int index) {
    if (index < 0 || index >= m_titles.size())
        return;
    m_titles[index] = title;
    update();
}

void KZSegmentedControl::selectSegmentAtIndex(int index) {
    if (index < 0 || index >= m_titles.size() || index == m_selected)
        return;
    m_selected = index;
    update();
    if (auto* d = m_delegate.get())
        d->segmentedControlDidSelectSegmentIndex(this, index);
}

QFont KZSegmentedControl::segmentFont(int index) const {
    return index == m_selected ? KZStyle::boldFontOfSize(14) : KZStyle::fontOfSize(14);
}

QColor KZSegmentedControl::segmentColor(int index) const {
    return index == m_selected ? KZStyle::tabbarTintColor() : KZStyle::darkGray2Color();
}

QRectF KZSegmentedControl::segmentFrame(int index) const {
    if (index < 0 || index >= m_titles.size())
        return {};
    // Widths use the bold font so that selecting a segment never moves its neighbours.
    const QFontMetricsF fm(KZStyle::boldFontOfSize(14));
    qreal titles = 0;
    for (const QString& t : m_titles)
        titles += fm.horizontalAdvance(t);
    // Counts in the titles can outgrow the room: the gaps give way first, so no title is cut.
    const qreal gap = std::clamp((width() - titles) / qreal(m_titles.size()), 0.0, kSegmentGap);
    qreal x = 0;
    for (int i = 0; i < index; ++i)
        x += fm.horizontalAdvance(m_titles[i]) + gap;
    return QRectF(x, 0, fm.horizontalAdvance(m_titles[index]) + gap, height());
}

QRectF KZSegmentedControl::indicatorFrame() const {
    if (m_selected < 0)
        return {};
    const QRectF seg = segmentFrame(m_selected);
    return QRectF(seg.center().x() - kIndicatorWidth / 2, height() - kIndicatorHeight, kIndicatorWidth,
                  kIndicatorHeight);
}

void KZSegmentedControl::mouseDown(const kit::Event& event) {
    const QPointF p = convertFromWindow(event.locationInWindow());
    for (int i = 0; i < m_titles.size(); ++i)
        if (segmentFrame(i).contains(p))
            return selectSegmentAtIndex(i);
}

void KZSegmentedControl::draw(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < m_titles.size(); ++i) {
        painter.setFont(segmentFont(i));
        painter.setPen(segmentColor(i));
        painter.drawText(segmentFrame(i), Qt::AlignCenter, m_titles[i]);
    }
    if (m_selected >= 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(KZStyle::tabbarTintColor());
        painter.drawRoundedRect(indicatorFrame(), 1, 1);
    }
}
