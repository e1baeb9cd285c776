#include "ui/transport/KZTransportListView.h"

#include "kit/TableView.h"
#include "shell/KZButton.h"
#include "shell/KZStyle.h"
#include "shell/KZTableCheckboxHeaderView.h"
#include "shell/KZTools.h"

namespace {
constexpr double kCheckWidth = 40;
constexpr double kSizeWidth = 100;
constexpr double kStateWidth = 230;
constexpr double kOperationsWidth = 120;
constexpr double kNameMinWidth = 140;
constexpr double kScrollerAllowance = 16;
} // namespace

KZTransportListView::KZTransportListView(QWidget* parent)
    : kit::View(parent), m_topBar(new kit::View(this)), m_tableView(new kit::TableView(this)),
      m_headerView(new KZTableCheckboxHeaderView) {
    setCustomBackgroundColor(Qt::white);
    // Its white square covers every pixel: what lies behind it is never painted.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_tableView->addTableColumn(kCheckColumn, QString(), kCheckWidth);
    m_tableView->addTableColumn(kFileColumn, kFileTitle, 300)->setMinWidth(kNameMinWidth);
    m_tableView->addTableColumn(kSizeColumn, kSizeTitle, kSizeWidth);
    m_tableView->addTableColumn(kStateColumn, kStateTitle, kStateWidth);
    m_tableView->addTableColumn(kOperationsColumn, kOperationsTitle, kOperationsWidth);
    m_headerView->setTableView(m_tableView);
    m_headerView->setFrameSize(QSizeF(0, 32));
    m_tableView->setHeaderView(m_headerView);
    m_tableView->setRowHeight(kRowHeight);
    m_tableView->setAllowsMultipleSelection(true);
    m_tableView->setSelectionHighlightStyle(kit::SelectionHighlightStyle::None);
}

KZButton* KZTransportListView::addBarButton(const QString& title, const QString& image,
                                            const QObject* context, std::function<void()> action) {
    auto* b = new KZButton(m_topBar);
    b->setTitle(title);
    b->setImage(kit::Image::named(image).scaledToFit(QSizeF(16, 16)).toImage());
    b->setFont(KZStyle::fontOfSize(14.0));
    b->setTitleNormalColor(KZStyle::darkGray2Color());
    b->setInterval(4.0);
    b->setAction(context, [action = std::move(action)](KZButton*) { action(); });
    m_buttons << b;
    layout();
    return b;
}

void KZTransportListView::mouseDown(const kit::Event& event) {
    if (m_mouseDown)
        m_mouseDown();
    kit::View::mouseDown(event);
}

double KZTransportListView::titleWidth(const KZButton* button) {
    // Measured again only when its title or font changed: the bar is laid out on every refresh.
    Measured& m = m_titleWidths[button];
    if (m.width < 0 || m.title != button->title() || m.font != button->font())
        m = {button->title(), button->font(),
             KZTools::widthForString(button->title(), button->font(), 0, 20)};
    return m.width;
}

void KZTransportListView::layout() {
    const double w = width();
    m_topBar->setFrame(QRectF(0, 0, w, kBarHeight));
    // Shown buttons side by side; a hidden one takes no room.
    double x = 16;
    for (KZButton* b : std::as_const(m_buttons)) {
        const double bw = titleWidth(b) + 16 + 4 + 12;
        b->setFrame(QRectF(x, (kBarHeight - 28) / 2, bw, 28));
        if (!b->isHidden())
            x += bw + 8;
    }
    m_tableView->setFrame(QRectF(0, kBarHeight, w, std::max(0.0, height() - kBarHeight)));
    const double others = kCheckWidth + kSizeWidth + kStateWidth + kOperationsWidth + kScrollerAllowance;
    if (kit::TableColumn* name = m_tableView->tableColumns().value(1))
        name->setWidth(w - others);
    m_tableView->tile();
}
