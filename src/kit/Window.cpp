#include "kit/Window.h"

#include "kit/View.h"
#include "kit/WindowController.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QWindow>
#include <cmath>

namespace kit {

namespace {
int rounded(qreal v) {
    return int(std::lround(v));
}

void closeWindowOrController(Window* w) {
    if (WindowController* c = w->windowController())
        c->close();
    else
        w->close();
}

// Watches the application while pop-ups are shown: Escape, a press on anything that is not a
// pop-up, and the application losing the foreground close them all.
class PopUpWatcher : public QObject {
public:
    static PopUpWatcher& shared() {
        static auto* w = new PopUpWatcher(qApp);
        return *w;
    }

    QList<Window*> visible() const {
        QList<Window*> out;
        for (const QPointer<Window>& w : m_shown)
            if (w && w->isVisible())
                out.append(w);
        return out;
    }

    void shown(Window* w) {
        m_shown.removeAll(nullptr);
        if (!m_shown.contains(w))
            m_shown.append(w);
        if (!m_installed) {
            qApp->installEventFilter(this);
            m_installed = true;
        }
    }

    void closeAll() {
        const QList<Window*> all = visible();
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if (QPointer<Window> w = *it; w && w->isVisible())
                closeWindowOrController(w);
        m_shown.clear();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress: {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (!widget || visible().isEmpty())
                break;
            const Window* target = Window::of(widget);
            if (!target || target->styleMask() != Window::PopUp)
                closeAll();
            break;
        }
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape && !visible().isEmpty()) {
                closeAll();
                return true; // the Escape was the menu's, not the focused field's
            }
            break;
        case QEvent::ApplicationStateChange:
            if (QGuiApplication::applicationState() != Qt::ApplicationActive && watched == qApp)
                closeAll();
            break;
        default:
            break;
        }
        return false;
    }

private:
    using QObject::QObject;
    QList<QPointer<Window>> m_shown;
    bool m_installed = false;
};
} // namespace

Window::Window(StyleMask style) : QWidget(nullptr, Qt::Window), m_style(style) {
    if (style == Borderless)
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    if (style == PopUp) {
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint |
                       Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint);
        setAttribute(Qt::WA_ShowWithoutActivating, true);
    }
    setContentView(new View);
}

QList<Window*> Window::visiblePopUps() {
    return PopUpWatcher::shared().visible();
}

void Window::setClearBackground(bool clear) {
    m_clearBackground = clear;
    setBackgroundColor(clear ? QColor(Qt::transparent) : QColor());
    updateClearMask();
}

void Window::updateClearMask() {
    // Platforms without window shapes (the offscreen one of the tests) only warn about masks.
    static const bool shapes = QGuiApplication::platformName() != QLatin1String("offscreen");
    const qreal radius = m_content ? m_content->cornerRadius() : 0;
    if (!shapes || !m_clearBackground || radius <= 0 || width() <= 0 || height() <= 0) {
        clearMask();
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), radius, radius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

Window::~Window() {
    for (const QPointer<Window>& c : std::as_const(m_children))
        if (c)
            c->m_parentWindow = nullptr;
    if (m_parentWindow)
        m_parentWindow->m_children.removeAll(this);
    if (m_sheet)
        m_sheet->m_sheetParent = nullptr;
}

Window* Window::of(const QWidget* w) {
    if (!w)
        return nullptr;
    return qobject_cast<Window*>(const_cast<QWidget*>(w->window()));
}

void Window::setContentView(View* view) {
    if (view == m_content)
        return;
    View* old = m_content;
    m_content = view;
    if (view) {
        view->setParent(this);
        view->setGeometry(rect());
        view->show();
    }
    delete old;
}

qreal Window::screenHeight() {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().y() + s->geometry().height() : 0;
}

QRectF Window::constrainFrameToScreen(const QRectF& f) {
    const QRect g = globalRectFromScreen(f);
    QScreen* s = QGuiApplication::screenAt(g.topLeft());
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (!s)
        return f;
    const QRectF area = screenRectFromGlobal(s->availableGeometry());
    QRectF out = f;
    if (out.right() > area.right())
        out.moveRight(area.right());
    if (out.left() < area.left())
        out.moveLeft(area.left());
    // QRectF's top is the lower edge in screen terms; the upper edge wins when both cannot fit.
    if (out.top() < area.top())
        out.moveTop(area.top());
    if (out.bottom() > area.bottom())
        out.moveBottom(area.bottom());
    return out;
}

QRectF Window::screenRectFromGlobal(const QRect& g) {
    return QRectF(g.x(), screenHeight() - (g.y() + g.height()), g.width(), g.height());
}

QRect Window::globalRectFromScreen(const QRectF& s) {
    return QRect(rounded(s.x()), rounded(screenHeight() - (s.y() + s.height())), rounded(s.width()),
                 rounded(s.height()));
}

QPointF Window::screenPointFromGlobal(const QPointF& g) {
    return QPointF(g.x(), screenHeight() - g.y());
}

QRectF Window::frame() const {
    return screenRectFromGlobal(geometry());
}

void Window::setFrame(const QRectF& f) {
    const QRect g = globalRectFromScreen(f);
    setGeometry(g.x(), g.y(), std::max(0, g.width()), std::max(0, g.height()));
}

void Window::setFrameOrigin(const QPointF& o) {
    QRectF f = frame();
    f.moveTopLeft(o); // in screen terms: x and the lower edge
    setFrame(f);
}

void Window::setContentSize(const QSizeF& s) {
    // Keeps the upper edge in place, as a window that grows downwards on screen does.
    QRectF f = frame();
    const qreal upper = f.y() + f.height();
    f.setSize(s);
    f.moveTop(upper - s.height());
    setFrame(f);
}

void Window::setLeft(qreal v) {
    QRectF f = frame();
    f.moveLeft(v);
    setFrame(f);
}

void Window::setRight(qreal v) {
    QRectF f = frame();
    f.moveLeft(v - f.width());
    setFrame(f);
}

void Window::setTop(qreal v) {
    QRectF f = frame();
    f.moveTop(v);
    setFrame(f);
}

void Window::setBottom(qreal v) {
    QRectF f = frame();
    f.moveTop(v - f.height());
    setFrame(f);
}

void Window::setWidth(qreal v) {
    QRectF f = frame();
    f.setWidth(std::max<qreal>(0, v));
    setFrame(f);
}

void Window::setHeight(qreal v) {
    // The origin (lower edge) stays, the upper edge moves.
    QRectF f = frame();
    f.setHeight(std::max<qreal>(0, v));
    setFrame(f);
}

void Window::setCenterY(qreal v) {
    QRectF f = frame();
    f.moveTop(v - f.height() / 2);
    setFrame(f);
}

void Window::center() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    QRect g = geometry();
    g.moveCenter(s->availableGeometry().center());
    move(g.topLeft());
}

void Window::makeDialogOf(Window* parent) {
    attachTransient(parent);
    if (!parent || !parent->isVisible()) {
        center();
        return;
    }
    QRectF f = frame();
    f.moveCenter(parent->frame().center());
    setFrame(constrainFrameToScreen(f));
}

void Window::setAlphaValue(qreal alpha) {
    setWindowOpacity(std::clamp<qreal>(alpha, 0, 1));
}

qreal Window::alphaValue() const {
    return windowOpacity();
}

void Window::setBackgroundColor(const QColor& color) {
    m_background = color;
    setAttribute(Qt::WA_TranslucentBackground, color.isValid() && color.alpha() < 255);
    update();
}

void Window::paintEvent(QPaintEvent* e) {
    QWidget::paintEvent(e);
    if (m_background.isValid()) {
        QPainter p(this);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), m_background);
    }
    // A cut window's edge pixels that the content's antialiased corners leave partly clear
    // would show black without a compositor: they take the content's colour instead.
    if (!m_clearBackground || mask().isEmpty() || !m_content || !m_content->customBackgroundColor().isValid())
        return;
    QPainter p(this);
    p.setClipRegion(mask());
    p.fillRect(rect(), m_content->customBackgroundColor());
}

void Window::setTitle(const QString& title) {
    m_title = title;
    // A single blank keeps the desktop from putting the program's name in its place.
    setWindowTitle(m_titleHidden || title.isEmpty() ? QStringLiteral(" ") : title);
}

void Window::setTitleHidden(bool hidden) {
    m_titleHidden = hidden;
    setTitle(m_title);
}

void Window::toggleFullScreen() {
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

void Window::orderFront() {
    // Ordering front does not take the keyboard from the key window (pop-ups rely on that).
    if (!isVisible()) {
        setAttribute(Qt::WA_ShowWithoutActivating, true);
        show();
        setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
    raise();
}

void Window::makeKeyAndOrderFront() {
    show();
    raise();
    activateWindow();
}

void Window::orderOut() {
    hide();
}

void Window::attachTransient(Window* parent) {
    winId();
    if (parent)
        parent->winId();
    if (QWindow* h = windowHandle())
        h->setTransientParent(parent ? parent->windowHandle() : nullptr);
}

void Window::addChildWindow(Window* child) {
    if (!child || child == this || m_children.contains(child))
        return;
    if (child->m_parentWindow)
        child->m_parentWindow->removeChildWindow(child);
    child->m_parentWindow = this;
    m_children.append(child);
    child->attachTransient(this);
    if (isVisible())
        child->orderFront();
}

void Window::removeChildWindow(Window* child) {
    if (!child || !m_children.removeAll(child))
        return;
    child->m_parentWindow = nullptr;
    child->attachTransient(nullptr);
}

QList<Window*> Window::childWindows() const {
    QList<Window*> out;
    for (const QPointer<Window>& c : m_children)
        if (c)
            out.append(c);
    return out;
}

void Window::beginSheet(Window* sheet, std::function<void(int)> completion) {
    if (!sheet || sheet == this || m_sheet)
        return;
    m_sheet = sheet;
    m_sheetCompletion = std::move(completion);
    sheet->m_sheetParent = this;
    if (sheet->isVisible())
        sheet->hide(); // modality takes effect when a window is shown
    sheet->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->makeDialogOf(this);
    sheet->makeKeyAndOrderFront();
}

void Window::endSheet(Window* sheet, int returnCode) {
    if (!sheet || sheet != m_sheet)
        return;
    m_sheet = nullptr;
    sheet->m_sheetParent = nullptr;
    auto completion = std::move(m_sheetCompletion);
    m_sheetCompletion = {};
    sheet->hide();
    sheet->setWindowModality(Qt::NonModal);
    if (completion)
        completion(returnCode);
}

bool Window::makeFirstResponder(View* view) {
    if (view == m_firstResponder)
        return true;
    if (view && (Window::of(view) != this || !view->acceptsFirstResponder()))
        return false;
    if (QPointer<View> old = m_firstResponder) {
        if (!old->resignFirstResponder())
            return false;
        if (m_firstResponder != old) // the old responder handed over during its resignation
            return m_firstResponder == view;
    }
    m_firstResponder = nullptr;
    if (!view)
        return true;
    if (!view->becomeFirstResponder())
        return false;
    m_firstResponder = view;
    return true;
}

void Window::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (m_content)
        m_content->setGeometry(rect());
    updateClearMask();
    if (auto* d = m_delegate.get())
        d->windowDidResize(this);
}

void Window::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    if (auto* d = m_delegate.get())
        d->windowDidMove(this);
}

void Window::closeEvent(QCloseEvent* e) {
    if (e->spontaneous()) {
        if (auto* d = m_delegate.get(); d && !d->windowShouldClose(this)) {
            e->ignore();
            return;
        }
    }
    if (auto* d = m_delegate.get())
        d->windowWillClose(this);
    if (m_sheet)
        endSheet(m_sheet, -1);
    if (m_sheetParent)
        m_sheetParent->endSheet(this, -1);
    e->accept();
}

void Window::keyPressEvent(QKeyEvent* e) {
    auto* d = m_delegate.get();
    if (e->key() != Qt::Key_Escape || e->modifiers() != Qt::NoModifier || !d) {
        QWidget::keyPressEvent(e);
        return;
    }
    e->accept();
    d->windowCancel(this);
}

void Window::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    updateClearMask(); // the content's corner radius may have been set after the last resize
    if (m_style == PopUp)
        PopUpWatcher::shared().shown(this);
}

void Window::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (e->spontaneous())
        return;
    for (Window* c : childWindows())
        c->hide();
    if (m_sheet)
        m_sheet->hide();
}

void Window::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) {
        const bool was = static_cast<QWindowStateChangeEvent*>(e)->oldState() & Qt::WindowFullScreen;
        const bool is = windowState() & Qt::WindowFullScreen;
        if (was != is)
            if (auto* d = m_delegate.get()) {
                if (is)
                    d->windowDidEnterFullScreen(this);
                else
                    d->windowDidExitFullScreen(this);
            }
        return;
    }
    if (e->type() != QEvent::ActivationChange)
        return;
    if (auto* d = m_delegate.get()) {
        if (isActiveWindow())
            d->windowDidBecomeKey(this);
        else
            d->windowDidResignKey(this);
    }
}

} // namespace kit
