#include "ui/common/KZFileOperateMenuWindowContentView.h"

#include "shell/KZStyle.h"

KZFileOperateMenuWindowContentView::KZFileOperateMenuWindowContentView(QWidget* parent) : kit::View(parent) {
    setCustomBackgroundColor(Qt::white);
    setCornerRadius(4);
    setBorderColor(KZStyle::lightGrayColor());
    setBorderWidth(1);
}

void KZFileOperateMenuWindowContentView::layout() {
    if (m_tableView)
        m_tableView->setFrame(bounds().adjusted(kBorder, kPadding, -kBorder, -kPadding));
}

kit::Window* KZFileOperateMenuWindowContentView::makeMenuWindow(kit::TableViewDataSource* dataSource,
                                                                kit::TableViewDelegate* delegate) {
    auto* window = new kit::Window(kit::Window::PopUp);
    auto* content = new KZFileOperateMenuWindowContentView;
    window->setContentView(content);
    window->setClearBackground(true);

    auto* table = new kit::TableView(content);
    table->setHeaderView(nullptr);
    table->addTableColumn(QStringLiteral("item"), QString(), 100);
    table->setSelectionHighlightStyle(kit::SelectionHighlightStyle::None);
    table->setAllowsMultipleSelection(false);
    table->setCustomBackgroundColor(Qt::white);
    table->setDataSource(dataSource);
    table->setDelegate(delegate);
    content->m_tableView = table;
    content->addSubview(table);
    content->layout();
    return window;
}

void KZFileOperateMenuWindowContentView::placeAbove(kit::Window* menu, kit::Window* parent,
                                                    const QRectF& frame) {
    if (!menu)
        return;
    menu->setFrame(kit::Window::constrainFrameToScreen(frame));
    if (!parent)
        return;
    // Attached afresh so that it comes above the parent's other child windows.
    parent->removeChildWindow(menu);
    parent->addChildWindow(menu);
    menu->update();
}
