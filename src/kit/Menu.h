#pragma once

#include "foundation/Weak.h"
#include "kit/Image.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <functional>

class QMenu;

namespace kit {

class Event;
class Menu;
class View;

class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    // Asked right before the menu shows: pages fill it here, or empty it and show their own.
    virtual void menuNeedsUpdate(Menu*) {}
};

struct MenuItem {
    QString title;
    std::function<void()> action;
    bool enabled = true;
    bool separator = false;
    Image image;

    static MenuItem separatorItem() {
        MenuItem m;
        m.separator = true;
        return m;
    }
};

// A context menu. It asks its delegate to update it before it shows; an empty menu shows nothing.
class Menu : public QObject {
    Q_OBJECT
public:
    explicit Menu(QObject* parent = nullptr);
    ~Menu() override;

    void setDelegate(MenuDelegate* d) { m_delegate = d; }
    MenuDelegate* delegate() const { return m_delegate.get(); }

    void addItem(const MenuItem& item) { m_items.append(item); }
    void insertItem(const MenuItem& item, int index);
    void removeItemAt(int index);
    void removeAllItems() { m_items.clear(); }
    const QList<MenuItem>& items() const { return m_items; }
    int numberOfItems() const { return m_items.size(); }

    // Updates the menu through its delegate and, unless empty, pops it up at the event's
    // location in `view`'s window. Returns whether a menu was shown.
    bool popUpContextMenu(const Event& event, View* view);
    // Same, at a point in `view`'s own coordinates.
    bool popUp(const QPointF& pointInView, View* view);
    // Closes it when open.
    void cancelTracking();

private:
    QList<MenuItem> m_items;
    nubo::Weak<MenuDelegate> m_delegate;
    QMenu* m_shown = nullptr;
};

} // namespace kit
