#include "ui/share/KZShareLabelLayout.h"

#include "shell/KZLabel.h"

#include <QHash>
#include <QTextLayout>
#include <cmath>

namespace KZShareLabelLayout {

double lineHeight(const QFont& font) {
    static QHash<QString, double> cache; // main thread
    const QString key = font.key();
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QTextLayout layout(QStringLiteral("国Ag"), font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    const double h = std::ceil(line.isValid() ? line.height() : font.pixelSize() * 1.5);
    cache.insert(key, h);
    return h;
}

QRectF centredLine(const QFont& font, double x, double rowTop, double width, double rowHeight) {
    const double h = std::min(rowHeight, lineHeight(font));
    return QRectF(x, rowTop + (rowHeight - h) / 2, std::max(0.0, width), h);
}

void centreOnText(KZLabel* label, double x, double rowTop, double width, double rowHeight) {
    if (label->text().isEmpty()) {
        label->setFrame(centredLine(label->font(), x, rowTop, width, rowHeight));
        return;
    }
    const double h = std::min(rowHeight, label->sizeThatFits(QSizeF(0, 0)).height());
    label->setFrame(QRectF(x, rowTop + (rowHeight - h) / 2, std::max(0.0, width), h));
}

} // namespace KZShareLabelLayout
