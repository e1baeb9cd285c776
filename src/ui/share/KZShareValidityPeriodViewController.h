#pragma once

#include "cloud/ShareInfo.h"
#include "foundation/Weak.h"
#include "kit/TableView.h"
#include "shell/KZBaseViewController.h"
#include "ui/share/KZShareExpireItem.h"

class KZShareValidityPeriodViewDelegate {
public:
    virtual ~KZShareValidityPeriodViewDelegate() = default;
    // A choice was made.
    virtual void switchExpireDateAction(const KZShareExpireItemPtr& item) { (void)item; }
    // The pointer left the pop-up outside the band that leads back to the switch.
    virtual void closeKZShareValidityPeriodViewAction() {}
};

// The pop-up of validity choices: a white rounded panel with a shadow and one row per choice,
// the share's current choice marked.
class KZShareValidityPeriodViewController : public KZBaseViewController,
                                            public kit::TableViewDataSource,
                                            public kit::TableViewDelegate {
    Q_OBJECT
public:
    static constexpr double kRowHeight = 36;
    // Leaving the pop-up with x strictly inside this band (window coordinates) keeps it open.
    static constexpr double kStayMinX = 102;
    static constexpr double kStayMaxX = 200;

    explicit KZShareValidityPeriodViewController(QObject* parent = nullptr);

    kit::View* contentView() const { return m_contentView; }
    kit::TableView* tableView() const { return m_tableView; }
    // The fixed choices; filled on first read when unset.
    QList<KZShareExpireItemPtr>& dataArray();
    void setViewDelegate(KZShareValidityPeriodViewDelegate* delegate) { m_viewDelegate = delegate; }
    KZShareValidityPeriodViewDelegate* viewDelegate() const { return m_viewDelegate.get(); }
    const ShareInfoPtr& shareInfo() const { return m_shareInfo; }
    void setShareInfo(const ShareInfoPtr& share);

    // The pointer left the pop-up's view.
    void mouseExited(const kit::Event& event);

    int numberOfRowsInTableView(kit::TableView*) override;
    kit::View* tableViewViewForTableColumn(kit::TableView*, kit::TableColumn*, int row) override;
    kit::TableRowView* tableViewRowViewForRow(kit::TableView*, int row) override;
    void tableViewSelectionDidChange(kit::TableView*) override;

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    void configureUI();

    kit::View* m_contentView = nullptr;
    kit::TableView* m_tableView = nullptr;
    QList<KZShareExpireItemPtr> m_dataArray;
    nubo::Weak<KZShareValidityPeriodViewDelegate> m_viewDelegate;
    ShareInfoPtr m_shareInfo;
};
