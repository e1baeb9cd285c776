#include "ui/files/KZFileRowView.h"

#include "foundation/NotificationCenter.h"
#include "kit/Window.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZStyle.h"

#include <QCursor>
#include <QPainter>

namespace {
constexpr double kCheckBoxSide = 16;
constexpr double kCheckBoxLeft = 16; // under the header's select-all box
constexpr double kContentLeft = 36;  // the cells start after the check box
} // namespace

KZFileRowView::KZFileRowView(QWidget* parent) : kit::TableRowView(parent) {
    m_backgroundView = new kit::View(this);
    m_backgroundView->setCornerRadius(4);
    m_backgroundView->setCustomBackgroundColor(Qt::white);
    m_backgroundView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_backgroundView->lower();
    m_bottomLine = new kit::View(this);
    m_bottomLine->setCustomBackgroundColor(KZStyle::separatorColor());
    m_bottomLine->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_checkBox = new KZCheckBoxButton(this);
    m_checkBox->setAction(this, [this](KZButton*) { checkBoxClicked(); });

    auto& center = nubo::NotificationCenter::defaultCenter();
    center.addObserver(this, kDidDropInApplication, [this](const nubo::Notification&) {
        m_draggingOutsideFiles = false;
        m_draggingOutsideFilesView = false;
    });
    center.addObserver(this, kWillDropInApplication, [this](const nubo::Notification&) {
        m_draggingOutsideFiles = true;
        m_draggingOutsideFilesView = false;
    });
    center.addObserver(this, kWillDropOutFilesView, [this](const nubo::Notification&) {
        m_draggingOutsideFiles = false;
        m_draggingOutsideFilesView = true;
    });
}

QRectF KZFileRowView::bottomLineRect(const QRectF& bounds) {
    return QRectF(kContentLeft, bounds.height() - 1, std::max(0.0, bounds.width() - kContentLeft), 1);
}

QRectF KZFileRowView::checkBoxRect(const QRectF& bounds) {
    return QRectF(kCheckBoxLeft, (bounds.height() - kCheckBoxSide) / 2, kCheckBoxSide, kCheckBoxSide);
}

QColor KZFileRowView::backgroundColor(bool selected, bool hovered) {
    QColor c(Qt::white);
    if (selected) {
        c = KZStyle::tabbarTintColor();
        c.setAlphaF(0.1);
    } else if (hovered) {
        c = KZStyle::VCBackgroundColor();
    }
    return c;
}

void KZFileRowView::layout() {
    m_backgroundView->setFrame(backgroundRect(bounds()));
    m_bottomLine->setFrame(bottomLineRect(bounds()));
    m_checkBox->setFrame(checkBoxRect(bounds()));
    m_checkBox->raise();
}

void KZFileRowView::applyBackground() {
    m_backgroundView->setCustomBackgroundColor(backgroundColor(isSelected(), m_hovered));
}

void KZFileRowView::setSelected(bool selected) {
    kit::TableRowView::setSelected(selected);
    if (m_draggingOutsideFilesView)
        return;
    // While outside files are dragged over the list only folder rows take the highlight.
    if (m_draggingOutsideFiles && !(m_fileInfo && m_fileInfo->isDirectory()))
        return;
    m_checkBox->setChecked(selected);
    applyBackground();
}

void KZFileRowView::mouseEntered(const kit::Event& event) {
    kit::TableRowView::mouseEntered(event);
    m_hovered = true;
    applyBackground();
}

void KZFileRowView::mouseExited(const kit::Event& event) {
    kit::TableRowView::mouseExited(event);
    m_hovered = false;
    applyBackground();
}

// Scrolling moves rows under a resting pointer and hands pooled rows to other records; the
// desktop reports no entering or leaving then, so the hover look follows the pointer itself. The
// pointer is asked for (a round trip to the display) only while it is over the list.
bool KZFileRowView::isPointerOver(const QWidget* row) {
    return row->isVisible() && row->parentWidget() && row->parentWidget()->underMouse() &&
           row->visibleRegion().contains(row->mapFromGlobal(QCursor::pos()));
}

void KZFileRowView::updateHoverFromPointer() {
    const bool hovered = isPointerOver(this);
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    applyBackground();
}

void KZFileRowView::moveEvent(QMoveEvent* event) {
    kit::TableRowView::moveEvent(event);
    updateHoverFromPointer();
}

void KZFileRowView::showEvent(QShowEvent* event) {
    kit::TableRowView::showEvent(event);
    updateHoverFromPointer();
}

void KZFileRowView::checkBoxClicked() {
    if (kit::Window* w = kitWindow())
        w->makeFirstResponder(nullptr); // ends any renaming first
    if (m_uploadJobInfo)
        m_uploadJobInfo->m_selected = !m_uploadJobInfo->m_selected;
    if (m_downloadJobInfo)
        m_downloadJobInfo->m_selected = !m_downloadJobInfo->m_selected;
    if (m_fileInfo)
        m_fileInfo->setSelected(!m_fileInfo->selected());
    if (m_delegate)
        m_delegate->fileRowViewDidClickCheckBox(this, m_checkBox);
}

void KZFileRowView::rightMouseUp(const kit::Event& event) {
    if (m_delegate)
        m_delegate->fileRowViewRightMouseUp(this, event);
}

void KZFileRowView::drawSelection(QPainter& p, const QRectF& rect) {
    if (selectionHighlightStyle() == kit::SelectionHighlightStyle::None)
        return;
    p.fillRect(rect, KZStyle::cellSelectedColor());
}
