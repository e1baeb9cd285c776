#pragma once

#include <QPointF>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <Qt>

class QMouseEvent;
class QKeyEvent;
class QWidget;

namespace kit {

class Window;

// A user input event as views receive it. Its location is in the window's coordinates with the
// bottom-left origin (y grows upwards), so page arithmetic can use it as written.
class Event {
public:
    enum class Type {
        None,
        MouseDown,
        MouseUp,
        RightMouseDown,
        RightMouseUp,
        MouseDragged,
        MouseEntered,
        MouseExited,
        KeyDown
    };

    Event() = default;
    Event(Type type, QPointF locationInWindow, int clickCount = 1, Qt::KeyboardModifiers modifiers = {});

    // Builds a mouse event received by `receiver` (anywhere inside a window).
    static Event fromMouse(Type type, const QWidget* receiver, const QMouseEvent* e, int clickCount);
    static Event fromKey(const QKeyEvent* e, const QWidget* receiver);

    Type type() const { return m_type; }
    QPointF locationInWindow() const { return m_location; }
    int clickCount() const { return m_clickCount; }
    Qt::KeyboardModifiers modifierFlags() const { return m_modifiers; }
    Window* window() const;

    // Key events: the text typed, and the text of the key alone (lower case, no modifiers).
    QString characters() const { return m_characters; }
    QString charactersIgnoringModifiers() const { return m_charactersIgnoringModifiers; }
    int keyCode() const { return m_keyCode; }

    void setWindow(Window* w);
    void setKey(int keyCode, const QString& characters, const QString& charactersIgnoringModifiers);

private:
    Type m_type = Type::None;
    QPointF m_location;
    int m_clickCount = 0;
    Qt::KeyboardModifiers m_modifiers;
    QPointer<QWidget> m_window;
    QString m_characters;
    QString m_charactersIgnoringModifiers;
    int m_keyCode = 0;
};

} // namespace kit
