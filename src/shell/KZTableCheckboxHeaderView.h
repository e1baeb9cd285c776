#pragma once

#include "foundation/Weak.h"
#include "kit/View.h"

class KZCheckBoxButton;
class KZTableCheckboxHeaderView;

class KZTableCheckboxHeaderViewDelegate {
public:
    virtual ~KZTableCheckboxHeaderViewDelegate() = default;
    virtual void tableCheckBoxHeaderViewDidPressSelectButton(KZTableCheckboxHeaderView* header,
                                                             KZCheckBoxButton* button) {
        (void)header;
        (void)button;
    }
};

// A table header with a select-all check box at its left.
class KZTableCheckboxHeaderView : public kit::View {
    Q_OBJECT
public:
    explicit KZTableCheckboxHeaderView(QWidget* parent = nullptr);

    void setDelegate(KZTableCheckboxHeaderViewDelegate* delegate) { m_delegate = delegate; }
    // Passes the state to the box; disabling also unchecks it.
    void setEnable(bool enable);
    bool isEnable() const;
    // Sets the box on or off.
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    KZCheckBoxButton* checkBox() const { return m_box; }

protected:
    void layout() override;
    void draw(QPainter& painter) override;

private:
    KZCheckBoxButton* m_box;
    bool m_selected = false;
    nubo::Weak<KZTableCheckboxHeaderViewDelegate> m_delegate;
};
