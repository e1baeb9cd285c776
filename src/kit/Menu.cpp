#include "kit/Menu.h"

#include "kit/View.h"

#include <QMenu>

namespace kit {

Menu::Menu(QObject* parent) : QObject(parent) {}

Menu::~Menu() {
    delete m_shown;
}

void Menu::insertItem(const MenuItem& item, int index) {
    m_items.insert(std::clamp(index, 0, int(m_items.size())), item);
}

void Menu::removeItemAt(int index) {
    if (index >= 0 && index < m_items.size())
        m_items.removeAt(index);
}

bool Menu::popUpContextMenu(const Event& event, View* view) {
    if (!view)
        return false;
    return popUp(view->convertFromWindow(event.locationInWindow()), view);
}

bool Menu::popUp(const QPointF& p, View* view) {
    if (auto* d = m_delegate.get())
        d->menuNeedsUpdate(this);
    if (m_items.isEmpty() || !view)
        return false;
    cancelTracking();
    m_shown = new QMenu(view);
    for (const MenuItem& item : std::as_const(m_items)) {
        if (item.separator) {
            m_shown->addSeparator();
            continue;
        }
        QAction* a = m_shown->addAction(item.title);
        a->setEnabled(item.enabled);
        if (!item.image.isNull())
            a->setIcon(QIcon(item.image.pixmap()));
        if (item.action)
            connect(a, &QAction::triggered, this, [f = item.action] { f(); });
    }
    QMenu* shown = m_shown;
    connect(shown, &QMenu::aboutToHide, this, [this, shown] {
        shown->deleteLater();
        if (m_shown == shown)
            m_shown = nullptr;
    });
    shown->popup(view->mapToGlobal(p.toPoint()));
    return true;
}

void Menu::cancelTracking() {
    if (m_shown)
        m_shown->close();
}

} // namespace kit
