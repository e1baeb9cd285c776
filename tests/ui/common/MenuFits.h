#pragma once

// Whether an operation menu on screen shows each of its titles whole.
#include "shell/KZLabel.h"
#include "support/EventLoop.h"
#include "ui/common/KZFileOperateCellView.h"
#include "ui/common/KZFileOperateMenuWindowController.h"

#include <QFontMetricsF>
#include <gtest/gtest.h>

namespace nubo::test {

inline testing::AssertionResult menuShowsEveryTitleWhole(KZFileOperateMenuWindowController* menu) {
    drainEvents(); // the rows are laid out once shown
    if (menu->window()->width() < KZFileOperateMenuWindowController::kWidth)
        return testing::AssertionFailure()
               << "menu narrower than " << KZFileOperateMenuWindowController::kWidth;
    for (int row = 0; row < menu->dataArray().size(); ++row) {
        auto* cell = qobject_cast<KZFileOperateCellView*>(menu->tableView()->viewAtColumn(0, row, false));
        if (!cell)
            return testing::AssertionFailure() << "no cell for row " << row;
        const KZLabel* label = cell->titleLabel();
        const double needed = QFontMetricsF(label->font()).horizontalAdvance(label->text());
        if (label->width() < needed)
            return testing::AssertionFailure()
                   << label->text().toStdString() << " needs " << needed << " but has " << label->width();
    }
    return testing::AssertionSuccess();
}

} // namespace nubo::test
