#pragma once

#include "kit/TableView.h"
#include "shell/KZBaseViewController.h"
#include "shell/KZMessageSet.h"
#include "shell/KZTableCheckboxHeaderView.h"

#include <QPointer>

class KZTransportListView;

// What every list of the transfer page shares: its view (a button bar over a table with a
// check-box header), the refresh of the bar message, the buttons and the header, and the empty
// list's cover below the bar.
class KZTransportListController : public KZBaseViewController,
                                  public kit::TableViewDataSource,
                                  public kit::TableViewDelegate,
                                  public KZMessageSetViewDelegate,
                                  public KZTableCheckboxHeaderViewDelegate {
public:
    kit::TableView* tableView() const;
    KZTableCheckboxHeaderView* tableHeaderView() const;

    void reloadUI();
    virtual void refreshHomeToolBarMessage() = 0;
    virtual void refreshToolbarButtonsState() = 0;
    virtual void refreshTableHeaderViewState() = 0;

    // KZMessageSetViewDelegate
    QMargins insetsForMessageSetView(QWidget*) override { return QMargins(0, 0, 0, 93); }
    kit::Image imageForMessageSetView(QWidget*) override {
        return KZMessageSetModules::emptyTransportListImage();
    }

protected:
    explicit KZTransportListController(QObject* parent) : KZBaseViewController(parent) {}
    void loadView() override;
    // The header is enabled while there are rows and checked when every row is selected.
    void refreshHeader(qsizetype rows, qsizetype selected);

    QPointer<KZTransportListView> m_listView;
};
