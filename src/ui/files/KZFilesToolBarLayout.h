#pragma once

#include <QList>

// Where the toolbar puts its item views, apart from the views themselves.
namespace KZFilesToolBarLayout {

inline constexpr double kItemSpacing = 24.0;

// Left edges of the left group: from x 0 rightwards, 24 points between neighbours.
QList<double> leftEdges(const QList<double>& widths);
// Left edges of the right group: the first item is the rightmost, flush with `barWidth`.
QList<double> rightGroupEdges(const QList<double>& widths, double barWidth);

} // namespace KZFilesToolBarLayout
