// The kit table against QTableView: the same four text columns and 24-point rows, offscreen.
// Measures reload-to-first-paint and scroll-to-last-row-and-paint at 100,000 and 1,000,000
// rows, and counts the kit table's live row views.
#include "bench_common.h"
#include "kit/Label.h"
#include "kit/TableView.h"
#include "kit/Window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kColumns = 4;
constexpr int kRowHeight = 24;
constexpr int kRepeats = 2 * benchcommon::kRuns + 1;
const QSize kWindowSize(1000, 700);

QString cellText(int row, int column) {
    switch (column) {
    case 0:
        return QStringLiteral("File name %1.txt").arg(row);
    case 1:
        return QStringLiteral("%1 KB").arg(row % 9973);
    case 2:
        return QStringLiteral("Text document");
    default:
        return QStringLiteral("2026-12-07 04:%1").arg(row % 60, 2, 10, QLatin1Char('0'));
    }
}

class Model : public QAbstractTableModel {
public:
    void setRows(int n) {
        beginResetModel();
        m_rows = n;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kColumns; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        return cellText(index.row(), index.column());
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole || o != Qt::Horizontal)
            return {};
        return QStringLiteral("Column %1").arg(section);
    }

private:
    int m_rows = 0;
};

class Source : public QObject, public kit::TableViewDataSource, public kit::TableViewDelegate {
public:
    int rows = 0;
    int numberOfRowsInTableView(kit::TableView*) override { return rows; }
    kit::View* tableViewViewForTableColumn(kit::TableView* t, kit::TableColumn* c, int row) override {
        auto* label = t->makeView<kit::Label>(QStringLiteral("cell"));
        label->setText(cellText(row, t->columnWithIdentifier(c->identifier())));
        return label;
    }
};

using benchcommon::median;

template <class F> double timeMs(F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

struct Figures {
    double reload = 0;
    double scroll = 0;
    int liveRowViews = 0;
    int visibleRows = 0;
};

Figures benchKit(int rows) {
    kit::Window window;
    window.resize(kWindowSize);
    auto* table = new kit::TableView;
    window.contentView()->addSubview(table);
    table->setGeometry(0, 0, kWindowSize.width(), kWindowSize.height());
    table->setRowHeight(kRowHeight);
    for (int c = 0; c < kColumns; ++c)
        table->addTableColumn(QStringLiteral("c%1").arg(c), QStringLiteral("Column %1").arg(c), 200);
    table->registerView(QStringLiteral("cell"), [] { return new kit::Label; });
    Source source;
    table->setDataSource(&source);
    table->setDelegate(&source);
    window.show();
    QApplication::processEvents();

    std::vector<double> reloads, scrolls;
    Figures f;
    for (int i = 0; i < kRepeats; ++i) {
        source.rows = 0;
        table->reloadData();
        table->scrollToPoint(QPointF(0, -table->headerHeight()));
        QApplication::processEvents();
        source.rows = rows;
        reloads.push_back(timeMs([&] {
            table->reloadData();
            window.repaint();
        }));
        scrolls.push_back(timeMs([&] {
            table->scrollRowToVisible(rows - 1);
            window.repaint();
        }));
    }
    f.reload = median(reloads);
    f.scroll = median(scrolls);
    f.liveRowViews = table->numberOfRowViews();
    f.visibleRows = int(std::ceil(table->visibleRect().height() - table->headerHeight())) / kRowHeight + 1;
    return f;
}

Figures benchQt(int rows) {
    QTableView view;
    Model model;
    view.setModel(&model);
    view.resize(kWindowSize);
    view.verticalHeader()->hide();
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(kRowHeight);
    view.horizontalHeader()->setDefaultSectionSize(200);
    view.horizontalHeader()->setStretchLastSection(true);
    view.show();
    QApplication::processEvents();

    std::vector<double> reloads, scrolls;
    for (int i = 0; i < kRepeats; ++i) {
        model.setRows(0);
        view.scrollToTop();
        QApplication::processEvents();
        reloads.push_back(timeMs([&] {
            model.setRows(rows);
            QApplication::processEvents(); // the view lays its items out on the event loop
            view.repaint();
        }));
        scrolls.push_back(timeMs([&] {
            view.scrollToBottom();
            QApplication::processEvents();
            view.repaint();
        }));
    }
    Figures f;
    f.reload = median(reloads);
    f.scroll = median(scrolls);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double worstRatio = 1e9, worstNubo = 0, worstBase = 0;
    bool liveOk = true;
    for (int rows : {100000, 1000000}) {
        const Figures k = benchKit(rows);
        const Figures q = benchQt(rows);
        std::printf("rows=%d reload: kit %.2f ms, QTableView %.2f ms; scroll to last: kit %.2f ms, "
                    "QTableView %.2f ms; "
                    "live row views %d (visible rows %d)\n",
                    rows, k.reload, q.reload, k.scroll, q.scroll, k.liveRowViews, k.visibleRows);
        liveOk = liveOk && k.liveRowViews <= k.visibleRows + 6;
        for (auto [n, b] : {std::pair{k.reload, q.reload}, std::pair{k.scroll, q.scroll}}) {
            const double r = b / std::max(n, 1e-3);
            if (r < worstRatio) {
                worstRatio = r;
                worstNubo = n;
                worstBase = b;
            }
        }
    }
    std::printf("live row views within visible rows + small constant: %s\n", liveOk ? "yes" : "NO");
    // The weakest of the four comparisons.
    benchcommon::ratioForTimes("kit_table", worstNubo, worstBase);
    return 0;
}
