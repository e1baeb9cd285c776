#pragma once

#include "foundation/Weak.h"
#include "kit/View.h"

#include <QPointer>

namespace kit {
class TableView;
}
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

// A table header with a select-all check box at its left and, once given its table, the titles
// of the table's titled columns: 4 points in for the first of them and 10 for the others.
class KZTableCheckboxHeaderView : public kit::View {
    Q_OBJECT
public:
    explicit KZTableCheckboxHeaderView(QWidget* parent = nullptr);

    void setTableView(kit::TableView* table);
    // Where a titled column's title starts, in the header's coordinates; -1 for a column
    // without a title.
    double titleLeft(int column) const;

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
    QPointer<kit::TableView> m_table;
    bool m_selected = false;
    nubo::Weak<KZTableCheckboxHeaderViewDelegate> m_delegate;
};
