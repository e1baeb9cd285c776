#include "ui/files/KZFolderRowView.h"

#include "shell/KZStyle.h"

#include <QPainter>

namespace {
constexpr double kInset = 15; // the rows carry the picker's side margins
}

KZFolderRowView::KZFolderRowView(QWidget* parent) : kit::TableRowView(parent) {
    m_backgroundView = new kit::View(this);
    m_backgroundView->setCornerRadius(4.0);
    m_backgroundView->setCustomBackgroundColor(Qt::white);
    m_backgroundView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_backgroundView->lower();
    m_bottomLine = new kit::View(this);
    m_bottomLine->setCustomBackgroundColor(KZStyle::separatorColor());
    m_bottomLine->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KZFolderRowView::layout() {
    m_backgroundView->setFrame(bounds().adjusted(kInset, 1, -kInset, -1));
    m_bottomLine->setFrame(QRectF(kInset, height() - 1, std::max(0.0, width() - 2 * kInset), 1));
}

void KZFolderRowView::drawSelection(QPainter& p, const QRectF& rect) {
    if (selectionHighlightStyle() != kit::SelectionHighlightStyle::None)
        p.fillRect(rect, KZStyle::cellSelectedColor());
}

void KZFolderRowView::setSelected(bool selected) {
    kit::TableRowView::setSelected(selected);
    m_backgroundView->setCustomBackgroundColor(selected ? KZStyle::cellSelectedColor() : QColor(Qt::white));
}

void KZFolderRowView::mouseEntered(const kit::Event&) {
    m_backgroundView->setCustomBackgroundColor(isSelected() ? QColor(Qt::white)
                                                            : KZStyle::VCBackgroundColor());
}

void KZFolderRowView::mouseExited(const kit::Event&) {
    m_backgroundView->setCustomBackgroundColor(Qt::white);
}
