#include "ui/files/KZFilesToolBarLayout.h"

namespace KZFilesToolBarLayout {

QList<double> leftEdges(const QList<double>& widths) {
    QList<double> out;
    double x = 0;
    for (double w : widths) {
        out.append(x);
        x += w + kItemSpacing;
    }
    return out;
}

QList<double> rightGroupEdges(const QList<double>& widths, double barWidth) {
    QList<double> out;
    double right = barWidth;
    for (double w : widths) {
        out.append(right - w);
        right -= w + kItemSpacing;
    }
    return out;
}

} // namespace KZFilesToolBarLayout
