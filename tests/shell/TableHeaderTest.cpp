// The check-box table header that the file and transfer lists share.
#include "kit/TableView.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZTableCheckboxHeaderView.h"

#include <gtest/gtest.h>

TEST(TableCheckboxHeader, TitlesStartAfterTheCheckColumn) {
    kit::TableView table;
    table.addTableColumn(QStringLiteral("check"), QString(), 40);
    table.addTableColumn(QStringLiteral("name"), QStringLiteral("名称"), 300);
    table.addTableColumn(QStringLiteral("size"), QStringLiteral("大小"), 100);
    auto* header = new KZTableCheckboxHeaderView;
    EXPECT_EQ(header->titleLeft(1), -1); // no table yet: no titles
    header->setTableView(&table);
    table.setHeaderView(header);
    EXPECT_EQ(header->titleLeft(0), -1);
    EXPECT_EQ(header->titleLeft(1), 44);  // 4 in for the first titled column
    EXPECT_EQ(header->titleLeft(2), 350); // 10 for the others
    EXPECT_EQ(header->titleLeft(3), -1);

    // Disabling unchecks the box; the delegate is told of clicks only.
    header->setSelected(true);
    header->setEnable(false);
    EXPECT_FALSE(header->isSelected());
    EXPECT_FALSE(header->checkBox()->checked());
}
