// Batches of inserted and removed rows move the selection exactly as single rows one by one do.
#include "kit/TableView.h"
#include "kit/Window.h"

#include <QApplication>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace kit;

namespace {

class Rows : public QObject, public TableViewDataSource, public TableViewDelegate {
public:
    int rows = 0;
    int numberOfRowsInTableView(TableView*) override { return rows; }
};

// The selected rows as the row identities they hold.
QList<int> selectedIds(const TableView& table, const QList<int>& ids) {
    QList<int> out;
    table.selectedRowIndexes().forEach([&](int i) { out.append(ids.at(i)); });
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(TableRowChanges, BatchesKeepTheSelectionOnItsRows) {
    Window window;
    auto* table = new TableView;
    window.contentView()->addSubview(table);
    table->setGeometry(0, 0, 300, 400);
    table->setRowHeight(20);
    table->addTableColumn(QStringLiteral("c"), QStringLiteral("C"), 100);
    table->setAllowsMultipleSelection(true);
    Rows source;
    table->setDataSource(&source);
    table->setDelegate(&source);
    window.show();

    QRandomGenerator rng(7);
    QList<int> ids;
    int nextId = 0;
    for (; nextId < 500; ++nextId)
        ids.append(nextId);
    source.rows = int(ids.size());
    table->reloadData();
    for (int round = 0; round < 40; ++round) {
        IndexSet chosen;
        for (int i = 0; i < 60; ++i)
            chosen.add(int(rng.bounded(int(ids.size()))));
        table->selectRowIndexes(chosen, false);
        const QList<int> before = selectedIds(*table, ids);

        // Remove some rows (the selection loses exactly the removed ones) ...
        IndexSet removed;
        for (int i = 0; i < 40; ++i)
            removed.add(int(rng.bounded(int(ids.size()))));
        QList<int> gone;
        for (int i = removed.last(); i >= 0; --i)
            if (removed.contains(i))
                gone.append(ids.takeAt(i));
        source.rows = int(ids.size());
        table->removeRows(removed);
        QList<int> expected;
        for (int id : before)
            if (!gone.contains(id))
                expected.append(id);
        ASSERT_EQ(selectedIds(*table, ids), expected) << "round " << round;

        // ... then insert rows at new places (indexes of the new numbering).
        IndexSet inserted;
        for (int i = 0; i < 40; ++i)
            inserted.add(int(rng.bounded(int(ids.size()) + 40)));
        inserted = inserted.intersectedWithRange(0, int(ids.size()) + inserted.count());
        inserted.forEach([&](int i) { ids.insert(std::min<qsizetype>(i, ids.size()), nextId++); });
        source.rows = int(ids.size());
        table->insertRows(inserted);
        ASSERT_EQ(table->numberOfRows(), int(ids.size()));
        ASSERT_EQ(selectedIds(*table, ids), expected) << "round " << round;
    }
}

namespace {

// Rows whose cells are named after the row identity they were made for.
class NamedRows : public Rows {
public:
    QList<int>* ids = nullptr;
    int removedViews = 0;
    View* tableViewViewForTableColumn(TableView*, TableColumn*, int row) override {
        auto* cell = new View;
        cell->setObjectName(QString::number(ids->at(row)));
        return cell;
    }
    void tableViewDidRemoveRowView(TableView*, TableRowView*, int row) override {
        if (row < 0)
            ++removedViews;
    }
};

} // namespace

TEST(TableRowChanges, BigBatchesMoveTheShownRowsWithTheirRowsAndDropOnlyTheShownRemovedOnes) {
    Window window;
    auto* table = new TableView;
    window.contentView()->addSubview(table);
    table->setGeometry(0, 0, 300, 400);
    table->setRowHeight(20);
    table->addTableColumn(QStringLiteral("c"), QStringLiteral("C"), 100);
    QList<int> ids;
    for (int i = 0; i < 20000; ++i)
        ids.append(i);
    NamedRows source;
    source.ids = &ids;
    source.rows = int(ids.size());
    table->setDataSource(&source);
    table->setDelegate(&source);
    window.show();
    table->reloadData();

    QRandomGenerator rng(11);
    int nextId = int(ids.size());
    for (int round = 0; round < 5; ++round) {
        IndexSet removed;
        for (int i = 0; i < 2000; ++i)
            removed.add(int(rng.bounded(int(ids.size()))));
        int shownRemoved = 0;
        for (int r : table->displayedRows())
            shownRemoved += removed.contains(r);
        source.removedViews = 0;
        table->beginUpdates();
        for (int i = removed.last(); i >= 0; --i)
            if (removed.contains(i))
                ids.removeAt(i);
        source.rows = int(ids.size());
        table->removeRows(removed);
        IndexSet inserted;
        for (int i = 0; i < 3000; ++i)
            inserted.add(int(rng.bounded(int(ids.size()) + 3000)));
        inserted.forEach([&](int i) { ids.insert(std::min<qsizetype>(i, ids.size()), nextId++); });
        source.rows = int(ids.size());
        table->insertRows(inserted);
        table->endUpdates();
        EXPECT_EQ(source.removedViews, shownRemoved) << round;
        ASSERT_FALSE(table->displayedRows().isEmpty());
        for (int r : table->displayedRows())
            ASSERT_EQ(table->viewAtColumn(0, r, false)->objectName(), QString::number(ids.at(r))) << round;
    }
}
