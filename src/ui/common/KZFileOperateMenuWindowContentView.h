#pragma once

#include "kit/TableView.h"
#include "kit/Window.h"

#include <QPointer>

// The content of the operation menu and pop-up windows: white with rounded corners and a thin
// border (a menu must stand out from a white page also where the desktop draws no shadow),
// holding the entry table with 8 points of padding above and below.
class KZFileOperateMenuWindowContentView : public kit::View {
    Q_OBJECT
public:
    static constexpr double kPadding = 8;
    // The border, each side, around the table.
    static constexpr double kBorder = 1;

    explicit KZFileOperateMenuWindowContentView(QWidget* parent = nullptr);

    kit::TableView* tableView() const { return m_tableView; }

    // Makes a pop-up window with this content and a header-less table that shows `owner`'s
    // rows without a selection look. The window's owner is the caller.
    template <class Owner> static kit::Window* makeMenuWindow(Owner* owner) {
        return makeMenuWindow(static_cast<kit::TableViewDataSource*>(owner),
                              static_cast<kit::TableViewDelegate*>(owner));
    }
    static kit::Window* makeMenuWindow(kit::TableViewDataSource* dataSource,
                                       kit::TableViewDelegate* delegate);

    // Gives `menu` the frame (moved onto the screen where it would leave it) and shows it as a
    // child window above `parent`. Without a parent the menu only takes its frame.
    static void placeAbove(kit::Window* menu, kit::Window* parent, const QRectF& frame);

protected:
    void layout() override;

private:
    QPointer<kit::TableView> m_tableView;
};
