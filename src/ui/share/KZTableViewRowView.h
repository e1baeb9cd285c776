#pragma once

#include "foundation/Weak.h"
#include "kit/TableView.h"

class KZCheckBoxButton;
class KZTableViewRowView;

// Every message is optional.
class KZTableViewRowViewDelegate {
public:
    virtual ~KZTableViewRowViewDelegate() = default;
    virtual void tableViewRowViewDidSelected(KZTableViewRowView* rowView, bool selected) {
        (void)rowView;
        (void)selected;
    }
    // The check box was clicked; `selected` is its new state.
    virtual void tableViewRowViewDidCheckBoxSelected(KZTableViewRowView* rowView, bool selected) {
        (void)rowView;
        (void)selected;
    }
    virtual void fileRowViewRightMouseUp(KZTableViewRowView* rowView, const kit::Event& event) {
        (void)rowView;
        (void)event;
    }
};

// The row of the share-link lists: a check box that mirrors the row's selection, a full-row
// background that shows hover and selection, and check-box clicks and right clicks reported to
// its delegate.
class KZTableViewRowView : public kit::TableRowView {
    Q_OBJECT
public:
    static constexpr double kCheckBoxLeft = 16;
    static constexpr double kCheckBoxSide = 16;

    explicit KZTableViewRowView(QWidget* parent = nullptr);

    void setDelegate(KZTableViewRowViewDelegate* delegate) { m_delegate = delegate; }
    KZTableViewRowViewDelegate* delegate() const { return m_delegate.get(); }
    kit::View* backgroundView() const { return m_backgroundView; }
    KZCheckBoxButton* checkBox() const { return m_checkBox; }

    void setSelected(bool selected) override;
    void actionCheckBoxChanged();

    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;
    void rightMouseUp(const kit::Event& event) override;

    static QColor selectedColor();

protected:
    void layout() override;
    void drawSelection(QPainter& p, const QRectF& rect) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void applyBackground(bool hovered);
    void followPointer();

    nubo::Weak<KZTableViewRowViewDelegate> m_delegate;
    kit::View* m_backgroundView;
    KZCheckBoxButton* m_checkBox;
    bool m_hovered = false;
};
