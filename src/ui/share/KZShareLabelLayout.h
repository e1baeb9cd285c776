#pragma once

#include <QFont>
#include <QRectF>

class KZLabel;

// Labels draw their text from their top edge; these frame a one-line label to the height its
// text takes (CJK text falls back to taller fonts than the label's own) and centre it in a row.
namespace KZShareLabelLayout {

double lineHeight(const QFont& font);
// A label frame of one line at `x` with `width`, centred in a row `rowTop` .. `rowTop + rowHeight`.
QRectF centredLine(const QFont& font, double x, double rowTop, double width, double rowHeight);
// Frames the label at `x` with `width` on the line its own text takes (Latin text sits in a
// shorter line than CJK text), centred in the row.
void centreOnText(KZLabel* label, double x, double rowTop, double width, double rowHeight);

} // namespace KZShareLabelLayout
