#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace KZSearchHighlight {

// The ranges (start, length) of `name` to colour as search hits: the search text is split at
// every blank, and every case-insensitive occurrence of each piece is a hit, each search going
// on after the previous hit. Blank pieces match nothing.
QList<QPair<int, int>> ranges(const QString& name, const QString& searchText);

} // namespace KZSearchHighlight
