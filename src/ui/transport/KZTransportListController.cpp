#include "ui/transport/KZTransportListController.h"

#include "ui/transport/KZTransportListView.h"

kit::TableView* KZTransportListController::tableView() const {
    return m_listView ? m_listView->tableView() : nullptr;
}

KZTableCheckboxHeaderView* KZTransportListController::tableHeaderView() const {
    return m_listView ? m_listView->headerView() : nullptr;
}

void KZTransportListController::loadView() {
    m_listView = new KZTransportListView;
    setView(m_listView);
}

void KZTransportListController::reloadUI() {
    if (!isViewLoaded())
        return;
    KZMessageSet::reloadMessageSet(view());
    refreshHomeToolBarMessage();
    refreshToolbarButtonsState();
    refreshTableHeaderViewState();
}

void KZTransportListController::refreshHeader(qsizetype rows, qsizetype selected) {
    KZTableCheckboxHeaderView* header = tableHeaderView();
    if (!header)
        return;
    header->setEnable(rows != 0);
    header->setSelected(rows != 0 && selected == rows);
}
