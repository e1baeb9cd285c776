#pragma once

#include "foundation/Weak.h"
#include "kit/View.h"

class KZSegmentedControl;

class KZSegmentedControlDelegate {
public:
    virtual ~KZSegmentedControlDelegate() = default;
    virtual void segmentedControlDidSelectSegmentIndex(KZSegmentedControl* control, int index) {
        (void)control;
        (void)index;
    }
};

// A row of text segments; the selected one is bold in the tint colour with a 28-point indicator
// centred under it. Selection by program and by click takes the same path and tells the delegate.
class KZSegmentedControl : public kit::View {
    Q_OBJECT
public:
    explicit KZSegmentedControl(QWidget* parent = nullptr);

    void setDelegate(KZSegmentedControlDelegate* delegate) { m_delegate = delegate; }

    // Inserts a segment (the index is kept within 0..count); a selected segment stays selected.
    void insertTitle(const QString& title, int index);
    // Renames a segment; an index out of range does nothing.
    void updateTitle(const QString& title, int index);
    int numberOfSegments() const { return int(m_titles.size()); }
    QString titleAtIndex(int index) const { return m_titles.value(index); }

    // -1 while nothing is selected.
    int selectedSegmentIndex() const { return m_selected; }
    // Does nothing for an index out of range or equal to the selected one.
    void selectSegmentAtIndex(int index);

    // What a segment is drawn with, and where.
    QFont segmentFont(int index) const;
    QColor segmentColor(int index) const;
    QRectF segmentFrame(int index) const;
    QRectF indicatorFrame() const;

    void mouseDown(const kit::Event& event) override;

protected:
    void draw(QPainter& painter) override;

private:
    QList<QString> m_titles;
    int m_selected = -1;
    nubo::Weak<KZSegmentedControlDelegate> m_delegate;
};
