#include "ui/share/KZShareValidityPeriodViewController.h"

#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "ui/share/KZShareValidityPeriodRows.h"

namespace {
constexpr double kTableInset = 4;
constexpr double kTableTop = 11;

// The pop-up's own view tells its controller when the pointer leaves it.
class PopupView : public kit::View {
public:
    explicit PopupView(KZShareValidityPeriodViewController* owner) : m_owner(owner) {}
    void mouseExited(const kit::Event& event) override {
        kit::View::mouseExited(event);
        if (m_owner)
            m_owner->mouseExited(event);
    }

protected:
    void layout() override {
        for (auto* table : findChildren<kit::TableView*>(Qt::FindDirectChildrenOnly))
            table->setFrame(QRectF(kTableInset, kTableTop, std::max(0.0, width() - 2 * kTableInset),
                                   std::max(0.0, height() - 2 * kTableTop)));
    }

private:
    QPointer<KZShareValidityPeriodViewController> m_owner;
};
} // namespace

KZShareValidityPeriodViewController::KZShareValidityPeriodViewController(QObject* parent)
    : KZBaseViewController(parent), m_dataArray(KZShareExpireItem::getItems()) {}

QList<KZShareExpireItemPtr>& KZShareValidityPeriodViewController::dataArray() {
    if (m_dataArray.isEmpty())
        m_dataArray = KZShareExpireItem::getItems();
    return m_dataArray;
}

void KZShareValidityPeriodViewController::setShareInfo(const ShareInfoPtr& share) {
    m_shareInfo = share;
    if (m_tableView)
        m_tableView->reloadData();
}

void KZShareValidityPeriodViewController::loadView() {
    auto* view = new PopupView(this);
    m_contentView = view;
    m_tableView = new kit::TableView(view);
    setView(view);
}

void KZShareValidityPeriodViewController::viewDidLoad() {
    KZBaseViewController::viewDidLoad();
    m_tableView->registerView(KZShareValidityPeriodTableCellView::kIdentifier,
                              [] { return new KZShareValidityPeriodTableCellView; });
    m_tableView->registerView(KZShareValidityPeriodRowView::kIdentifier,
                              [] { return new KZShareValidityPeriodRowView; });
    configureUI();
    m_tableView->reloadData();
}

void KZShareValidityPeriodViewController::configureUI() {
    m_contentView->setCustomBackgroundColor(Qt::white);
    m_contentView->setBorderColor(KZStyle::separatorColor());
    m_contentView->setBorderWidth(1);
    m_contentView->setCornerRadius(4);
    m_contentView->setShadow(QColor(0, 0, 0, int(255 * 0.08)), QPointF(0, 4), 8);
    m_tableView->setHeaderView(nullptr);
    m_tableView->addTableColumn(QStringLiteral("TableColumnShareValidityPeriod"), QString(), 92);
    m_tableView->setRowHeight(kRowHeight);
    m_tableView->setSelectionHighlightStyle(kit::SelectionHighlightStyle::None);
    m_tableView->setCustomBackgroundColor(Qt::white);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    m_contentView->layout();
}

int KZShareValidityPeriodViewController::numberOfRowsInTableView(kit::TableView*) {
    return int(dataArray().size());
}

kit::View* KZShareValidityPeriodViewController::tableViewViewForTableColumn(kit::TableView* table,
                                                                            kit::TableColumn*, int row) {
    auto* cell =
        table->makeView<KZShareValidityPeriodTableCellView>(KZShareValidityPeriodTableCellView::kIdentifier);
    if (cell && row >= 0 && row < dataArray().size())
        cell->titleLabel()->setText(dataArray().at(row)->title());
    return cell;
}

kit::TableRowView* KZShareValidityPeriodViewController::tableViewRowViewForRow(kit::TableView* table,
                                                                               int row) {
    auto* rowView = table->makeView<KZShareValidityPeriodRowView>(KZShareValidityPeriodRowView::kIdentifier);
    // The marks come from the share's choices by position; a share with fewer choices than the
    // rows leaves the rest unmarked.
    if (rowView)
        rowView->setShareItem(m_shareInfo ? m_shareInfo->expireDays().value(row) : nullptr);
    return rowView;
}

void KZShareValidityPeriodViewController::tableViewSelectionDidChange(kit::TableView* table) {
    const int row = table->selectedRow();
    if (row < 0 || row >= dataArray().size())
        return;
    if (auto* d = m_viewDelegate.get())
        d->switchExpireDateAction(dataArray().at(row));
}

void KZShareValidityPeriodViewController::mouseExited(const kit::Event& event) {
    const double x = event.locationInWindow().x();
    if (x > kStayMinX && x < kStayMaxX)
        return;
    if (auto* d = m_viewDelegate.get())
        d->closeKZShareValidityPeriodViewAction();
}
