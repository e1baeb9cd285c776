#pragma once

#include "foundation/Weak.h"
#include "kit/View.h"
#include "kit/WindowController.h"

#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <functional>

namespace kit {

class Window;

// Optional messages a window sends to its delegate (a QObject implementing this interface).
class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;
    virtual void windowDidResize(Window*) {}
    virtual void windowDidMove(Window*) {}
    // Asked when the user closes the window from its title bar; false keeps it open.
    virtual bool windowShouldClose(Window*) { return true; }
    virtual void windowWillClose(Window*) {}
    virtual void windowDidBecomeKey(Window*) {}
    virtual void windowDidResignKey(Window*) {}
    // The window entered or left full screen, whoever asked for it (the window manager too).
    virtual void windowDidEnterFullScreen(Window*) {}
    virtual void windowDidExitFullScreen(Window*) {}
    // Escape reached the window with no view or field taking it (a dialog answers as its cancel
    // button does, a viewer closes).
    virtual void windowCancel(Window*) {}
};

// A top-level window. Its frame and the frame accessors use screen coordinates with the
// bottom-left origin of the primary screen, y growing upwards: `top` is the lower edge and
// `bottom` the upper edge. Its content view fills it. Closing hides it; its owner deletes it.
class Window : public QWidget {
    Q_OBJECT
public:
    // PopUp: a borderless window that never takes the keyboard, placed exactly where asked (the
    // window manager does not move it), closed by Escape, by a press outside every pop-up and
    // when the application goes to the background.
    enum StyleMask { Titled = 0, Borderless = 1, PopUp = 2 };

    explicit Window(StyleMask style = Titled);
    ~Window() override;

    StyleMask styleMask() const { return m_style; }
    // A clear window background: only what the content view paints shows. Where the content
    // view has rounded corners the window is also cut to them, so that a desktop without a
    // compositor shows what lies below instead of black corners. Set before the window shows.
    void setClearBackground(bool clear);
    bool hasClearBackground() const { return m_clearBackground; }
    // Pop-ups shown now, in the order they were shown.
    static QList<Window*> visiblePopUps();

    // The kit window that shows `w` (w itself when it is one), or null.
    static Window* of(const QWidget* w);

    View* contentView() const { return m_content; }
    // Replaces the content view; the window takes ownership and deletes the old one.
    void setContentView(View* view);

    // Screen coordinates, bottom-left origin.
    QRectF frame() const;
    void setFrame(const QRectF& frame);
    void setFrameOrigin(const QPointF& origin);
    void setContentSize(const QSizeF& size);
    qreal left() const { return frame().x(); }
    void setLeft(qreal v);
    qreal right() const { return frame().right(); }
    void setRight(qreal v);
    qreal top() const { return frame().y(); }
    void setTop(qreal v);
    qreal bottom() const { return frame().y() + frame().height(); }
    void setBottom(qreal v);
    qreal width() const { return QWidget::width(); }
    void setWidth(qreal v);
    qreal height() const { return QWidget::height(); }
    void setHeight(qreal v);
    void setCenterY(qreal v);
    // Centres the window on its screen.
    void center();
    // Makes the window a dialog of `parent`: the desktop keeps it above the parent and treats
    // them as one, and it is placed centred on the parent (as far as the screen allows). Null
    // centres it on its screen. Set the window flags first: changing them drops the tie.
    void makeDialogOf(Window* parent);

    // Conversions between Qt's global coordinates (top-left origin) and screen coordinates.
    static QRectF screenRectFromGlobal(const QRect& global);
    static QRect globalRectFromScreen(const QRectF& screen);
    static QPointF screenPointFromGlobal(const QPointF& global);
    static qreal screenHeight();
    // `frame` moved (not resized) so that it lies within the usable area of the screen that holds
    // its upper-left corner, as far as it fits.
    static QRectF constrainFrameToScreen(const QRectF& frame);

    // The whole window's opacity, 0 to 1.
    void setAlphaValue(qreal alpha);
    qreal alphaValue() const;
    // Fills the window behind its content view; a colour with alpha below 1 makes the window
    // translucent where the content does not paint (the desktop needs a compositor for that).
    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return m_background; }
    // Hides the title text of the title bar (the desktop still draws its bar and buttons).
    void setTitleHidden(bool hidden);
    bool isTitleHidden() const { return m_titleHidden; }
    void setTitle(const QString& title);
    QString title() const { return m_title; }

    // Full screen on and off; the delegate hears of each change, also those the desktop makes.
    void toggleFullScreen();
    bool isInFullScreen() const { return isFullScreen(); }

    void orderFront();           // shows it above the others
    void makeKeyAndOrderFront(); // also activates it
    void orderOut();             // hides it without closing
    bool isKeyWindow() const { return isActiveWindow(); }

    // Child windows stay above their parent and are hidden with it (the pop-up menus).
    void addChildWindow(Window* child);
    void removeChildWindow(Window* child);
    QList<Window*> childWindows() const;
    Window* parentWindow() const { return m_parentWindow; }

    // Sheets: a window-modal dialog of this window (a title bar without minimise or maximise
    // buttons); `completion` gets the code given to endSheet.
    void beginSheet(Window* sheet, std::function<void(int)> completion = {});
    void endSheet(Window* sheet, int returnCode = 0);
    Window* attachedSheet() const { return m_sheet; }
    Window* sheetParent() const { return m_sheetParent; }
    bool isSheet() const { return m_sheetParent != nullptr; }

    // The first responder: the view that receives keys. Making a view first responder asks the
    // current one to resign and the new one to accept and become it; null leaves no responder
    // (ending any text editing). Returns false when either refuses.
    bool makeFirstResponder(View* view);
    View* firstResponder() const { return m_firstResponder; }

    void setDelegate(WindowDelegate* delegate) { m_delegate = delegate; }
    WindowDelegate* delegate() const { return m_delegate.get(); }
    WindowController* windowController() const { return m_controller; }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void updateClearMask();

    friend class WindowController;
    void attachTransient(Window* parent);

    StyleMask m_style = Titled;
    bool m_clearBackground = false;
    View* m_content = nullptr;
    nubo::Weak<WindowDelegate> m_delegate;
    QPointer<WindowController> m_controller;
    QPointer<View> m_firstResponder;
    QPointer<Window> m_parentWindow;
    QList<QPointer<Window>> m_children;
    QPointer<Window> m_sheet;
    QPointer<Window> m_sheetParent;
    std::function<void(int)> m_sheetCompletion;
    QColor m_background;
    QString m_title;
    bool m_titleHidden = false;
};

} // namespace kit
