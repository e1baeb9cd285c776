#include "ui/common/KZFileOperateRowView.h"

#include "shell/KZStyle.h"

KZFileOperateRowView::KZFileOperateRowView(QWidget* parent) : kit::TableRowView(parent) {
    setIdentifier(kIdentifier);
    setSelectionHighlightStyle(kit::SelectionHighlightStyle::None);
    m_backgroundView = new kit::View(this);
    m_backgroundView->setCornerRadius(6);
    m_backgroundView->setCustomBackgroundColor(Qt::white);
    m_backgroundView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_backgroundView->lower();
}

void KZFileOperateRowView::layout() {
    m_backgroundView->setFrame(bounds().adjusted(4, 0, -4, 0));
}

void KZFileOperateRowView::setItem(const KZFileOperateMenuItemPtr& item) {
    m_item = item;
    m_backgroundView->setCustomBackgroundColor(Qt::white);
}

void KZFileOperateRowView::mouseEntered(const kit::Event& event) {
    kit::TableRowView::mouseEntered(event);
    m_backgroundView->setCustomBackgroundColor(KZStyle::VCBackgroundColor());
    if (auto* d = m_delegate.get())
        d->fileOperateRowItemMouseEntered(m_item, event);
}

void KZFileOperateRowView::mouseExited(const kit::Event& event) {
    kit::TableRowView::mouseExited(event);
    m_backgroundView->setCustomBackgroundColor(Qt::white);
    if (auto* d = m_delegate.get())
        d->fileOperateRowItemMouseExited(m_item, event);
}
