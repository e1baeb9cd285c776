#pragma once

#include "kit/Event.h"

#include <QColor>
#include <QPointer>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace kit {
class Menu;
}

namespace kit {

class Window;

// The base of every kit view: a widget with frame accessors in its parent's top-left
// coordinates, a painted background with corner radius and border, alpha, a layout hook run
// on resize, hover (one tracking area: the whole view) and mouse hooks that receive kit events.
// A mouse hook that is not overridden passes the event on to the enclosing view.
class View : public QWidget {
    Q_OBJECT
public:
    explicit View(QWidget* parent = nullptr);
    explicit View(const QRectF& frame, QWidget* parent = nullptr);
    ~View() override;

    QRectF frame() const { return QRectF(geometry()); }
    void setFrame(const QRectF& frame);
    QRectF bounds() const { return QRectF(0, 0, QWidget::width(), QWidget::height()); }
    void setFrameOrigin(const QPointF& origin);
    void setFrameSize(const QSizeF& size);

    qreal left() const { return x(); }
    void setLeft(qreal v);
    qreal right() const { return x() + QWidget::width(); }
    void setRight(qreal v); // moves the origin to v - width
    qreal top() const { return y(); }
    void setTop(qreal v);
    qreal bottom() const { return y() + QWidget::height(); }
    void setBottom(qreal v); // moves the origin to v - height
    qreal width() const { return QWidget::width(); }
    void setWidth(qreal v);
    qreal height() const { return QWidget::height(); }
    void setHeight(qreal v);
    void setCenterY(qreal v); // origin y = v - height / 2
    void setCenterX(qreal v);

    // Adds a child view and shows it (children are visible once added, as pages expect).
    void addSubview(QWidget* child);
    // Detaches this view from its parent and hides it; the caller owns it afterwards.
    void removeFromSuperview();

    void setCustomBackgroundColor(const QColor& color);
    QColor customBackgroundColor() const { return m_background; }
    void setCornerRadius(qreal radius);
    qreal cornerRadius() const { return m_cornerRadius; }
    void setBorderColor(const QColor& color);
    QColor borderColor() const { return m_borderColor; }
    void setBorderWidth(qreal width);
    qreal borderWidth() const { return m_borderWidth; }
    // A drop shadow drawn outside the view's bounds (pop-ups); an invalid colour removes it.
    // `blurRadius` is in points; the shadow follows the shape the view paints.
    void setShadow(const QColor& color, const QPointF& offset, qreal blurRadius);
    bool hasShadow() const;
    // 0 (transparent) to 1 (opaque); applied to the view and its children.
    void setAlphaValue(qreal alpha);
    qreal alphaValue() const { return m_alpha; }

    // The kit window that shows this view, or null.
    Window* kitWindow() const;
    // Converts between a window location (bottom-left origin) and this view's coordinates.
    QPointF convertFromWindow(const QPointF& windowPoint) const;
    QPointF convertToWindow(const QPointF& viewPoint) const;

    // Runs layout() soon, once, on the main queue.
    void setNeedsLayout();
    // Called when the view is resized (and after setNeedsLayout): place children here.
    virtual void layout() {}

    bool isMouseInside() const { return m_mouseInside; }
    virtual void mouseEntered(const Event& event);
    virtual void mouseExited(const Event& event);
    virtual void mouseDown(const Event& event);
    virtual void mouseUp(const Event& event);
    virtual void mouseDragged(const Event& event);
    virtual void rightMouseDown(const Event& event);
    virtual void rightMouseUp(const Event& event);
    virtual void keyDown(const Event& event);

    // First-responder protocol; see Window::makeFirstResponder.
    virtual bool acceptsFirstResponder() const { return false; }
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

    // Counts a press (shared by all views, as on a desktop): presses of one button close in
    // time and place make a double, triple ... click.
    static int nextClickCount(const QPointF& globalPos, Qt::MouseButton button, quint64 timestampMs);
    // The click count of a press event (the same event offered to several views counts once).
    static int clickCountFor(const QMouseEvent* e);
    // Whether `e` is the press counted last (offered again, or followed by its double click).
    static bool isSamePress(const QMouseEvent* e);

    // The reuse identifier of tables and grids.
    QString identifier() const { return m_identifier; }
    void setIdentifier(const QString& id) { m_identifier = id; }

    // The context menu: right mouse down asks menuForEvent and pops up what it returns.
    void setMenu(Menu* menu);
    Menu* menu() const;
    virtual Menu* menuForEvent(const Event& event);

Q_SIGNALS:
    // Emitted first thing in the destructor, while the object is still a View.
    void willBeDestroyed();

protected:
    // Draws the view's own content above its background; the painter is clipped to the view.
    virtual void draw(QPainter& painter);

    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void handlePress(QMouseEvent* e);
    bool hasBorder() const;
    void backgroundChanged();

    QString m_identifier;
    QPointer<QObject> m_menu;
    QColor m_background;
    QColor m_borderColor;
    qreal m_cornerRadius = 0;
    qreal m_borderWidth = 0;
    qreal m_alpha = 1;
    bool m_mouseInside = false;
    bool m_layoutQueued = false;
    bool m_passedOn = false; // set by the default mouse and key hooks
};

} // namespace kit
