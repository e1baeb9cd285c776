#include "ui/files/KZFolderCrumbsLayout.h"

namespace KZFolderCrumbsLayout {

Choice choose(double barWidth, double rootWidth, double arrowWidth, double ellipsisWidth,
              const QList<double>& componentWidths) {
    Choice c;
    double sum = ellipsisWidth + rootWidth + arrowWidth;
    for (qsizetype i = componentWidths.size() - 1; i >= 0; --i) {
        sum += componentWidths.at(i) + arrowWidth;
        if (sum >= barWidth) {
            c.ellipsis = true;
            break;
        }
        ++c.shown;
    }
    return c;
}

QList<Slot> place(const QList<double>& widths) {
    QList<Slot> out;
    out.reserve(widths.size());
    double x = 0;
    for (double w : widths) {
        const double d = (w == kMaxTokenWidth) ? 4.0 : 0.0;
        out.append({x - d, w});
        x += w - 2 * d;
    }
    return out;
}

} // namespace KZFolderCrumbsLayout
