#include "ui/share/KZTableViewRowView.h"

#include "shell/KZCheckBoxButton.h"
#include "shell/KZStyle.h"

#include <QCursor>
#include <QPainter>

KZTableViewRowView::KZTableViewRowView(QWidget* parent)
    : kit::TableRowView(parent), m_backgroundView(new kit::View(this)),
      m_checkBox(new KZCheckBoxButton(this)) {
    m_backgroundView->setCustomBackgroundColor(Qt::white);
    m_backgroundView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_backgroundView->lower();
    m_checkBox->setAction(this, [this](KZButton*) { actionCheckBoxChanged(); });
}

QColor KZTableViewRowView::selectedColor() {
    QColor c = KZStyle::tabbarTintColor();
    c.setAlphaF(0.1);
    return c;
}

void KZTableViewRowView::layout() {
    m_backgroundView->setFrame(bounds());
    m_backgroundView->lower();
    m_checkBox->setFrame(QRectF(kCheckBoxLeft, (height() - kCheckBoxSide) / 2, kCheckBoxSide, kCheckBoxSide));
    m_checkBox->raise();
}

void KZTableViewRowView::applyBackground(bool hovered) {
    m_hovered = hovered;
    m_backgroundView->setCustomBackgroundColor(hovered        ? KZStyle::VCBackgroundColor()
                                               : isSelected() ? selectedColor()
                                                              : QColor(Qt::white));
}

void KZTableViewRowView::setSelected(bool selected) {
    kit::TableRowView::setSelected(selected);
    m_backgroundView->setCustomBackgroundColor(selected ? selectedColor() : QColor(Qt::white));
    m_checkBox->setChecked(selected);
}

void KZTableViewRowView::actionCheckBoxChanged() {
    if (auto* d = m_delegate.get())
        d->tableViewRowViewDidCheckBoxSelected(this, m_checkBox->checked());
}

void KZTableViewRowView::mouseEntered(const kit::Event& event) {
    kit::TableRowView::mouseEntered(event);
    applyBackground(true);
}

void KZTableViewRowView::mouseExited(const kit::Event& event) {
    kit::TableRowView::mouseExited(event);
    applyBackground(false);
}

void KZTableViewRowView::rightMouseUp(const kit::Event& event) {
    if (auto* d = m_delegate.get())
        d->fileRowViewRightMouseUp(this, event);
}

void KZTableViewRowView::drawSelection(QPainter& p, const QRectF& rect) {
    if (selectionHighlightStyle() == kit::SelectionHighlightStyle::None)
        return;
    p.fillRect(rect, KZStyle::cellSelectedColor());
}

// Rows scroll under a resting pointer and are handed to other links without the desktop saying
// that the pointer entered or left, so the hover look asks where the pointer is.
void KZTableViewRowView::followPointer() {
    const bool hovered = isVisible() && parentWidget() && parentWidget()->underMouse() &&
                         visibleRegion().contains(mapFromGlobal(QCursor::pos()));
    if (hovered != m_hovered)
        applyBackground(hovered);
}

void KZTableViewRowView::moveEvent(QMoveEvent* event) {
    kit::TableRowView::moveEvent(event);
    followPointer();
}

void KZTableViewRowView::showEvent(QShowEvent* event) {
    kit::TableRowView::showEvent(event);
    followPointer();
}
