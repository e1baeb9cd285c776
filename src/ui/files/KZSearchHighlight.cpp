#include "ui/files/KZSearchHighlight.h"

namespace KZSearchHighlight {

QList<QPair<int, int>> ranges(const QString& name, const QString& searchText) {
    QList<QPair<int, int>> out;
    const QStringList pieces = searchText.split(QLatin1Char(' '));
    for (const QString& piece : pieces) {
        if (piece.isEmpty())
            continue;
        qsizetype from = 0;
        while (from < name.size()) {
            const qsizetype hit = name.indexOf(piece, from, Qt::CaseInsensitive);
            if (hit < 0)
                break;
            out.append({int(hit), int(piece.size())});
            from = hit + piece.size();
        }
    }
    return out;
}

} // namespace KZSearchHighlight
