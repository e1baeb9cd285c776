#include "kit/View.h"

#include "kit/Menu.h"
#include "kit/Window.h"

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <cmath>

namespace kit {

namespace {
int rounded(qreal v) {
    return int(std::lround(v));
}
int g_clickCount = 0; // the count of the latest press, carried by its release
} // namespace

View::View(QWidget* parent) : QWidget(parent) {}

View::View(const QRectF& frame, QWidget* parent) : QWidget(parent) {
    setFrame(frame);
}

View::~View() {
    Q_EMIT willBeDestroyed();
}

void View::setFrame(const QRectF& f) {
    setGeometry(rounded(f.x()), rounded(f.y()), std::max(0, rounded(f.width())),
                std::max(0, rounded(f.height())));
}

void View::setFrameOrigin(const QPointF& origin) {
    move(rounded(origin.x()), rounded(origin.y()));
}
void View::setFrameSize(const QSizeF& s) {
    resize(std::max(0, rounded(s.width())), std::max(0, rounded(s.height())));
}

void View::setLeft(qreal v) {
    move(rounded(v), y());
}
void View::setRight(qreal v) {
    move(rounded(v - width()), y());
}
void View::setTop(qreal v) {
    move(x(), rounded(v));
}
void View::setBottom(qreal v) {
    move(x(), rounded(v - height()));
}
void View::setWidth(qreal v) {
    resize(std::max(0, rounded(v)), QWidget::height());
}
void View::setHeight(qreal v) {
    resize(QWidget::width(), std::max(0, rounded(v)));
}
void View::setCenterY(qreal v) {
    move(x(), rounded(v - height() / 2));
}
void View::setCenterX(qreal v) {
    move(rounded(v - width() / 2), y());
}

void View::addSubview(QWidget* child) {
    if (!child || child == this)
        return;
    if (child->parentWidget() != this)
        child->setParent(this);
    child->show();
}

void View::removeFromSuperview() {
    if (!parentWidget())
        return;
    hide();
    setParent(nullptr);
}

void View::setCustomBackgroundColor(const QColor& color) {
    m_background = color;
    backgroundChanged();
}

void View::setCornerRadius(qreal radius) {
    m_cornerRadius = std::max<qreal>(0, radius);
    backgroundChanged();
}

void View::setBorderColor(const QColor& color) {
    m_borderColor = color;
    backgroundChanged();
}

void View::setBorderWidth(qreal w) {
    m_borderWidth = std::max<qreal>(0, w);
    backgroundChanged();
}

bool View::hasBorder() const {
    return m_borderWidth > 0 && m_borderColor.isValid() && m_borderColor.alpha() > 0;
}

void View::backgroundChanged() {
    // A plain opaque background covers every pixel: Qt then paints nothing beneath the view (the
    // window's own fill and the views under it), as for a widget that fills its background.
    const bool opaque =
        m_background.isValid() && m_background.alpha() == 255 && m_cornerRadius == 0 && !hasBorder();
    if (opaque != testAttribute(Qt::WA_OpaquePaintEvent))
        setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    update();
}

namespace {
// A widget takes one graphics effect, so a shadowed view fades through the shadow's own opacity.
class FadingShadowEffect : public QGraphicsDropShadowEffect {
public:
    using QGraphicsDropShadowEffect::QGraphicsDropShadowEffect;
    qreal opacity = 1;

protected:
    void draw(QPainter* painter) override {
        painter->save();
        painter->setOpacity(painter->opacity() * opacity);
        QGraphicsDropShadowEffect::draw(painter);
        painter->restore();
    }
};
} // namespace

void View::setShadow(const QColor& color, const QPointF& offset, qreal blurRadius) {
    if (!color.isValid()) {
        if (hasShadow())
            setGraphicsEffect(nullptr);
        setAlphaValue(m_alpha);
        return;
    }
    auto* effect = dynamic_cast<FadingShadowEffect*>(graphicsEffect());
    if (!effect) {
        effect = new FadingShadowEffect(this);
        setGraphicsEffect(effect);
    }
    effect->setColor(color);
    effect->setOffset(offset);
    effect->setBlurRadius(blurRadius);
    effect->opacity = m_alpha;
    effect->update();
}

bool View::hasShadow() const {
    return dynamic_cast<FadingShadowEffect*>(graphicsEffect()) != nullptr;
}

void View::setAlphaValue(qreal alpha) {
    m_alpha = std::clamp<qreal>(alpha, 0, 1);
    if (auto* shadow = dynamic_cast<FadingShadowEffect*>(graphicsEffect())) {
        shadow->opacity = m_alpha;
        shadow->update();
        // The shadow redraws only the view itself: children first painted while it was
        // transparent stayed blank (a pop-up's rows showed only under the pointer).
        for (QWidget* child : findChildren<QWidget*>())
            child->update();
        return;
    }
    if (m_alpha >= 1) {
        setGraphicsEffect(nullptr);
        return;
    }
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(this);
        setGraphicsEffect(effect);
    }
    effect->setOpacity(m_alpha);
}

Window* View::kitWindow() const {
    return Window::of(this);
}

QPointF View::convertFromWindow(const QPointF& p) const {
    const QWidget* top = window();
    return mapFrom(top, QPointF(p.x(), top->height() - p.y()));
}

QPointF View::convertToWindow(const QPointF& p) const {
    const QWidget* top = window();
    const QPointF q = mapTo(top, p);
    return QPointF(q.x(), top->height() - q.y());
}

void View::setNeedsLayout() {
    if (m_layoutQueued)
        return;
    m_layoutQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_layoutQueued = false;
        layout();
    });
}

void View::draw(QPainter&) {}

void View::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool border = hasBorder();
    if (testAttribute(Qt::WA_OpaquePaintEvent)) {
        p.fillRect(rect(), m_background);
    } else if ((m_background.isValid() && m_background.alpha() > 0) || border) {
        p.setRenderHint(QPainter::Antialiasing, m_cornerRadius > 0);
        const qreal inset = border ? m_borderWidth / 2 : 0;
        const QRectF r = bounds().adjusted(inset, inset, -inset, -inset);
        p.setPen(border ? QPen(m_borderColor, m_borderWidth) : QPen(Qt::NoPen));
        p.setBrush(m_background.isValid() ? QBrush(m_background) : QBrush(Qt::NoBrush));
        if (m_cornerRadius > 0)
            p.drawRoundedRect(r, m_cornerRadius, m_cornerRadius);
        else
            p.drawRect(r);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::NoBrush);
    }
    draw(p);
}

void View::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    layout();
}

namespace {
quint64 g_seenTimestamp = 0;
QPointF g_seenPos;
bool g_seen = false;
bool g_releasedSincePress = false;
} // namespace

bool View::isSamePress(const QMouseEvent* e) {
    return g_seen && !g_releasedSincePress && e->timestamp() == g_seenTimestamp &&
           e->globalPosition() == g_seenPos;
}

int View::clickCountFor(const QMouseEvent* e) {
    // A press ignored by a view is offered again to its parent: count it once.
    if (isSamePress(e))
        return g_clickCount;
    g_seen = true;
    g_releasedSincePress = false;
    g_seenTimestamp = e->timestamp();
    g_seenPos = e->globalPosition();
    return nextClickCount(e->globalPosition(), e->button(), e->timestamp());
}

int View::nextClickCount(const QPointF& globalPos, Qt::MouseButton button, quint64 timestamp) {
    // Event time, not wall time: what counts is how far apart the user's presses were.
    static quint64 lastTime = 0;
    static QPointF lastPos;
    static Qt::MouseButton lastButton = Qt::NoButton;
    int& count = g_clickCount;
    const int dist = QApplication::startDragDistance();
    if (count > 0 && timestamp >= lastTime &&
        timestamp - lastTime <= quint64(QApplication::doubleClickInterval()) && button == lastButton &&
        (globalPos - lastPos).manhattanLength() <= dist)
        ++count;
    else
        count = 1;
    lastTime = timestamp;
    lastPos = globalPos;
    lastButton = button;
    return count;
}

void View::handlePress(QMouseEvent* e) {
    const int clicks = clickCountFor(e);
    const bool right = e->button() == Qt::RightButton;
    const Event ev =
        Event::fromMouse(right ? Event::Type::RightMouseDown : Event::Type::MouseDown, this, e, clicks);
    m_passedOn = false;
    QPointer<View> guard(this);
    if (right)
        rightMouseDown(ev);
    else
        mouseDown(ev);
    if (guard && m_passedOn)
        e->ignore();
    else
        e->accept();
}

void View::mousePressEvent(QMouseEvent* e) {
    handlePress(e);
}

// Qt delivers the second press of a double click as this event instead of a press.
void View::mouseDoubleClickEvent(QMouseEvent* e) {
    handlePress(e);
}

void View::mouseReleaseEvent(QMouseEvent* e) {
    g_releasedSincePress = true;
    const bool right = e->button() == Qt::RightButton;
    // The release carries the click count of its press.
    const Event ev =
        Event::fromMouse(right ? Event::Type::RightMouseUp : Event::Type::MouseUp, this, e, g_clickCount);
    m_passedOn = false;
    QPointer<View> guard(this);
    if (right)
        rightMouseUp(ev);
    else
        mouseUp(ev);
    if (guard && m_passedOn)
        e->ignore();
}

void View::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() == Qt::NoButton) {
        QWidget::mouseMoveEvent(e);
        return;
    }
    m_passedOn = false;
    mouseDragged(Event::fromMouse(Event::Type::MouseDragged, this, e, 1));
    if (m_passedOn)
        e->ignore();
}

void View::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
    m_mouseInside = true;
    const QPointF p = mapTo(window(), e->position());
    Event ev(Event::Type::MouseEntered, QPointF(p.x(), window()->height() - p.y()), 0, e->modifiers());
    ev.setWindow(kitWindow());
    mouseEntered(ev);
}

void View::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    m_mouseInside = false;
    const QPointF p = convertToWindow(mapFromGlobal(QCursor::pos()));
    Event ev(Event::Type::MouseExited, p, 0, QApplication::keyboardModifiers());
    ev.setWindow(kitWindow());
    mouseExited(ev);
}

void View::keyPressEvent(QKeyEvent* e) {
    m_passedOn = false;
    keyDown(Event::fromKey(e, this));
    if (m_passedOn)
        e->ignore();
}

void View::mouseEntered(const Event&) {}
void View::mouseExited(const Event&) {}
void View::mouseDown(const Event&) {
    m_passedOn = true;
}
void View::mouseUp(const Event&) {
    m_passedOn = true;
}
void View::mouseDragged(const Event&) {
    m_passedOn = true;
}
void View::rightMouseDown(const Event& event) {
    Menu* m = menuForEvent(event);
    if (!m || !m->popUpContextMenu(event, this))
        m_passedOn = true;
}

void View::setMenu(Menu* menu) {
    m_menu = menu;
}
Menu* View::menu() const {
    return qobject_cast<Menu*>(m_menu.data());
}
Menu* View::menuForEvent(const Event&) {
    return menu();
}
void View::rightMouseUp(const Event&) {
    m_passedOn = true;
}
void View::keyDown(const Event&) {
    m_passedOn = true;
}

} // namespace kit
