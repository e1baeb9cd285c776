#pragma once

#include <QList>

// The arithmetic of the folder crumbs, apart from any view so it can be reasoned about alone.
namespace KZFolderCrumbsLayout {

// Widest a crumb may be; a crumb at this width overlaps its neighbours a little.
inline constexpr double kMaxTokenWidth = 300.0;

struct Choice {
    int shown = 0;         // trailing path components that get a crumb of their own
    bool ellipsis = false; // the components before them collapse into one "..." crumb
};

// Which crumbs fit a bar of `barWidth`. `componentWidths` are the widths of the path's
// components after the root, from the first to the last. The "..." width always counts, so a
// path fits only when it leaves room for the "..." crumb too; a sum equal to the bar does not fit.
Choice choose(double barWidth, double rootWidth, double arrowWidth, double ellipsisWidth,
              const QList<double>& componentWidths);

// A crumb's width after the cap.
inline double capped(double width) {
    return width < kMaxTokenWidth ? width : kMaxTokenWidth;
}

struct Slot {
    double x;
    double width;
};
// Left edges and widths of crumbs placed edge to edge from x 0; a crumb at the cap is pulled
// 4 points to each side so its truncated text does not leave a gap.
QList<Slot> place(const QList<double>& widths);

} // namespace KZFolderCrumbsLayout
