#pragma once

#include "kit/View.h"

class QScrollArea;

namespace kit {

// Scrolls a document view vertically and horizontally. The visible rectangle is in the
// document's coordinates (top-left origin).
class ScrollView : public View {
    Q_OBJECT
public:
    explicit ScrollView(QWidget* parent = nullptr);

    QWidget* documentView() const;
    // Takes ownership of `view`; its size is its own (the document does not resize with us).
    void setDocumentView(QWidget* view);
    QRectF visibleRect() const;
    void scrollToPoint(const QPointF& p);
    void setHasHorizontalScroller(bool has);
    void setHasVerticalScroller(bool has);

protected:
    void layout() override;

private:
    QScrollArea* m_area;
};

} // namespace kit
