#include "kit/Event.h"

#include "kit/Window.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace kit {

Event::Event(Type type, QPointF locationInWindow, int clickCount, Qt::KeyboardModifiers modifiers)
    : m_type(type), m_location(locationInWindow), m_clickCount(clickCount), m_modifiers(modifiers) {}

Event Event::fromMouse(Type type, const QWidget* receiver, const QMouseEvent* e, int clickCount) {
    const QWidget* top = receiver->window();
    const QPointF inTop = receiver->mapTo(top, e->position());
    Event ev(type, QPointF(inTop.x(), top->height() - inTop.y()), clickCount, e->modifiers());
    ev.m_window = const_cast<QWidget*>(top);
    return ev;
}

Event Event::fromKey(const QKeyEvent* e, const QWidget* receiver) {
    Event ev(Type::KeyDown, {}, 0, e->modifiers());
    if (receiver)
        ev.m_window = const_cast<QWidget*>(receiver->window());
    ev.m_keyCode = e->key();
    ev.m_characters = e->text();
    // Qt gives control characters in text() when Ctrl is held; the key code names the key.
    QString plain;
    // Shift still counts (it picks the character); Ctrl, Alt and Meta do not.
    if (e->key() >= Qt::Key_Space && e->key() <= Qt::Key_AsciiTilde)
        plain = (e->modifiers() & Qt::ShiftModifier) ? QString(QChar(e->key()))
                                                     : QString(QChar(e->key())).toLower();
    else
        plain = e->text();
    ev.m_charactersIgnoringModifiers = plain;
    return ev;
}

void Event::setWindow(Window* w) {
    m_window = w;
}

Window* Event::window() const {
    return qobject_cast<Window*>(m_window.data());
}

void Event::setKey(int keyCode, const QString& characters, const QString& charactersIgnoringModifiers) {
    m_keyCode = keyCode;
    m_characters = characters;
    m_charactersIgnoringModifiers = charactersIgnoringModifiers;
}

} // namespace kit
