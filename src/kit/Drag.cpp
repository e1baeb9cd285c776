#include "kit/Drag.h"

#include "foundation/Log.h"
#include "kit/Pasteboard.h"
#include "kit/View.h"
#include "kit/Window.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace kit {

QStringList DraggingInfo::localFileNames() const {
    if (m_fromNubo)
        return {};
    return Pasteboard::localPathsFromMimeData(m_pasteboard);
}

namespace drag {

namespace {
QString& fallbackFolder() {
    static QString folder;
    return folder;
}
// Notices Escape during a drag: a cancelled drag must not count as a drop outside Nubo.
class EscapeWatcher : public QObject {
public:
    bool escaped = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
            escaped = true;
        return false;
    }
};

DragRunner& testRunner() {
    static DragRunner r;
    return r;
}

// What waits for the answer of a drop target of another program.
struct PendingFinish {
    QPointer<const QObject> context;
    std::function<void(bool)> done;
};
PendingFinish& pendingFinish() {
    static PendingFinish p;
    return p;
}

// Sees the XdndFinished messages that drop targets send to this program's drags (before Qt,
// which does not pass the answer on).
class FinishedFilter : public QAbstractNativeEventFilter {
public:
    explicit FinishedFilter(xcb_connection_t* c)
        : m_connection(c), m_finished(atom("XdndFinished")), m_aware(atom("XdndAware")) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (m_finished == XCB_NONE || type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto* msg = reinterpret_cast<const xcb_client_message_event_t*>(event);
        // Asked only while a drag waits for its answer, so a drag costs one round trip at most.
        if (msg->type == m_finished && msg->format == 32 && pendingFinish().done) {
            const std::array<quint32, 5> words{msg->data.data32[0], msg->data.data32[1], msg->data.data32[2],
                                               msg->data.data32[3], msg->data.data32[4]};
            const quint32 version = targetVersion(words[0]);
            const bool accepted = dropTargetTookDrop(version, words);
            qCDebug(lcKit, "drop target (version %u) answered: %s", version,
                    accepted ? "taken" : "not taken");
            // Qt handles the message too; the answer is given once its handling is over.
            QTimer::singleShot(0, qApp, [accepted] { dropTargetFinished(accepted); });
        }
        return false;
    }

private:
    xcb_atom_t atom(const char* name) const {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : XCB_NONE;
        free(reply);
        return a;
    }
    // The protocol version the target window announces; 0 when it is gone or announces none
    // (as a target behind a proxy window may), which counts as an old target.
    quint32 targetVersion(xcb_window_t window) const {
        if (m_aware == XCB_NONE)
            return 0;
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, m_aware, XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
            nullptr);
        quint32 version = 0;
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
            version = *static_cast<const quint32*>(xcb_get_property_value(reply));
        free(reply);
        return version;
    }

    xcb_connection_t* m_connection;
    xcb_atom_t m_finished;
    xcb_atom_t m_aware;
};

void watchDropTargets() {
    static bool installed = false;
    if (installed || !qGuiApp)
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    installed = true;
    qApp->installNativeEventFilter(new FinishedFilter(x11->connection()));
}
} // namespace

void whenDropTargetFinishes(const QObject* context, std::function<void(bool accepted)> done) {
    watchDropTargets();
    pendingFinish() = {context, std::move(done)};
}

bool dropTargetTookDrop(quint32 targetVersion, const std::array<quint32, 5>& words) {
    // Bit 0 of the second word says "taken" only from version 5 on; an older target always sends
    // 0 there, and its finishing means it is done with a drop it took (it may still be reading
    // the files).
    return targetVersion < 5 || (words[1] & 1);
}

void dropTargetFinished(bool accepted) {
    PendingFinish p = std::exchange(pendingFinish(), {});
    if (p.done && p.context)
        p.done(accepted);
}

QString ownMarkerType() {
    return QStringLiteral("application/x-nubo-drag-source");
}

void markAsOwn(QMimeData* mime) {
    mime->setData(ownMarkerType(), QByteArray::number(QCoreApplication::applicationPid()));
}

bool isFromThisProcess(const QMimeData* mime) {
    return mime && mime->hasFormat(ownMarkerType()) &&
           mime->data(ownMarkerType()) == QByteArray::number(QCoreApplication::applicationPid());
}

QString promiseFallbackFolder() {
    if (!fallbackFolder().isEmpty())
        return fallbackFolder();
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

void setPromiseFallbackFolder(const QString& folder) {
    fallbackFolder() = folder;
}

void setRunnerForTesting(DragRunner runner) {
    testRunner() = std::move(runner);
}

namespace {
// Whether the X server has a window under the pointer (anything but the bare root). Qt knows
// only its own windows' places, not whether another program's window covers them.
bool pointerIsOverSomeWindow() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return false;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, screen->root), nullptr);
    const bool some = reply && reply->child != XCB_NONE;
    free(reply);
    return some;
}
} // namespace

DragResult run(QWidget* source, QMimeData* mime, Qt::DropActions allowed) {
    if (testRunner()) {
        DragResult r = testRunner()(source, mime, allowed);
        delete mime;
        return r;
    }
    auto* d = new QDrag(source);
    d->setMimeData(mime);
    EscapeWatcher watcher;
    // Installed once the drag runs, so that it sees keys before the drag's own filter eats them.
    QTimer::singleShot(0, &watcher, [&watcher] { qApp->installEventFilter(&watcher); });
    DragResult r;
    r.action = d->exec(allowed, Qt::CopyAction);
    qApp->removeEventFilter(&watcher);
    const QPoint global = QCursor::pos();
    r.screenPoint = Window::screenPointFromGlobal(global);
    r.releasedOutsideNubo = !watcher.escaped && QApplication::widgetAt(global) == nullptr;
    r.releasedOverAnotherWindow = !watcher.escaped && pointerIsOverSomeWindow();
    return r;
}

namespace {
// Offers the promised files as a list of local files without having them yet: the list is made
// only when a drop target reads it.
class PromisedFilesMimeData : public QMimeData {
public:
    // `provided` outlives the data (the drag deletes it) and tells whether the files were asked.
    PromisedFilesMimeData(std::function<QStringList()> provide, std::shared_ptr<bool> provided)
        : m_provide(std::move(provide)), m_providedFlag(std::move(provided)) {}

    QStringList formats() const override {
        QStringList f = QMimeData::formats();
        if (!f.contains(kUriList()))
            f.append(kUriList());
        return f;
    }
    bool hasFormat(const QString& type) const override {
        return type == kUriList() || QMimeData::hasFormat(type);
    }

protected:
    QVariant retrieveData(const QString& type, QMetaType preferred) const override {
        if (type != kUriList())
            return QMimeData::retrieveData(type, preferred);
        if (!m_provided) {
            m_provided = true;
            *m_providedFlag = true;
            for (const QString& path : m_provide())
                m_urls.append(QUrl::fromLocalFile(path));
        }
        if (preferred.id() == QMetaType::QByteArray) {
            QByteArray lines;
            for (const QUrl& u : m_urls)
                lines += u.toEncoded() + "\r\n";
            return lines;
        }
        QVariantList list;
        for (const QUrl& u : m_urls)
            list.append(u);
        return list;
    }

private:
    static QString kUriList() { return QStringLiteral("text/uri-list"); }
    std::function<QStringList()> m_provide;
    std::shared_ptr<bool> m_providedFlag;
    mutable bool m_provided = false;
    mutable QList<QUrl> m_urls;
};
} // namespace

void runOwnDrag(QWidget* source, const QList<int>& indexes, QPointF pressInWindow,
                const QList<std::shared_ptr<PasteboardWriter>>& writers, const OwnDragHooks& hooks) {
    if (!source || writers.isEmpty())
        return;
    bool promise = false;
    for (const auto& w : writers)
        promise = promise || w->isFilePromise();
    auto provided = std::make_shared<bool>(false);
    QMimeData* mime = promise && hooks.provideFiles ? new PromisedFilesMimeData(hooks.provideFiles, provided)
                                                    : new QMimeData;
    markAsOwn(mime);
    for (const auto& w : writers)
        w->writeTo(mime);
    QPointer<QWidget> guard(source);
    // An answer that never came for an earlier drop is not this one's.
    pendingFinish() = {};
    DraggingSession session;
    session.indexes = indexes;
    const Window* win = Window::of(source);
    session.startPoint = win ? QPointF(win->left(), win->top()) + pressInWindow : pressInWindow;
    if (hooks.willBegin)
        hooks.willBegin(&session);
    if (!guard) {
        delete mime;
        return;
    }
    const DragResult result = run(source, mime, Qt::CopyAction | Qt::MoveAction);
    DragOperation op = operationFromAction(result.action);
    qCDebug(lcKit, "own drag ended: action %d, files %s", int(result.action),
            *provided ? "read" : "not read");
    if (*provided && result.action == Qt::IgnoreAction) {
        // The target read the files while the drag passed over it, but took no drop (the drag
        // was cancelled, or ended somewhere that refused it): nothing is copied.
        op = DragOperation::None;
        dropTargetFinished(false);
    } else if (*provided) {
        // The target took the files as local files: they are out already, nothing moves.
        op = DragOperation::Copy;
    } else if (guard && promise && result.releasedOutsideNubo && op != DragOperation::Move &&
               !(hooks.provideFiles && result.releasedOverAnotherWindow)) {
        // A program's window that took the drop may still read the file list later (after
        // asking whether to copy or move): only a drop on nothing goes to the fallback folder.
        if (hooks.promised)
            hooks.promised(promiseFallbackFolder());
        op = DragOperation::Copy;
    }
    session.operation = op;
    if (guard && hooks.ended)
        hooks.ended(&session, result.screenPoint, op);
}

DragOperation operationFromAction(Qt::DropAction action) {
    switch (action) {
    case Qt::CopyAction:
        return DragOperation::Copy;
    case Qt::MoveAction:
        return DragOperation::Move;
    default:
        return DragOperation::None;
    }
}

Qt::DropAction actionFromOperation(DragOperation op) {
    switch (op) {
    case DragOperation::Copy:
        return Qt::CopyAction;
    case DragOperation::Move:
        return Qt::MoveAction;
    default:
        return Qt::IgnoreAction;
    }
}

// ---- ListDragSupport

void ListDragSupport::press(int index, QPointF locationInWindow) {
    m_pressIndex = index;
    m_pressPoint = locationInWindow;
    m_started = false;
}

void ListDragSupport::release() {
    m_pressIndex = -1;
    m_started = false;
}

bool ListDragSupport::shouldStart(QPointF locationInWindow) {
    if (m_pressIndex < 0 || m_started)
        return false;
    if ((locationInWindow - m_pressPoint).manhattanLength() < QApplication::startDragDistance())
        return false;
    m_started = true;
    return true;
}

void ListDragSupport::start(QWidget* source, const QList<int>& indexes,
                            const std::function<std::shared_ptr<PasteboardWriter>(int)>& writerFor,
                            const OwnDragHooks& hooks) {
    QList<std::shared_ptr<PasteboardWriter>> writers;
    QList<int> dragged;
    for (int i : indexes)
        if (auto w = writerFor ? writerFor(i) : nullptr) {
            writers.append(std::move(w));
            dragged.append(i);
        }
    QPointer<QWidget> guard(source);
    runOwnDrag(source, dragged, m_pressPoint, writers, hooks);
    // An own drag that ended on another view leaves no leave event here: clear what it showed.
    if (guard)
        leave();
}

DraggingInfo ListDragSupport::infoFor(View* view, QDropEvent* e) const {
    return DraggingInfo(e->mimeData(), view->convertToWindow(e->position()),
                        isFromThisProcess(e->mimeData()));
}

ListDragSupport::Proposal ListDragSupport::propose(View* view, QDropEvent* e) const {
    if (!validate)
        return {};
    Proposal p = validate(infoFor(view, e), e->position());
    if (p.operation == DragOperation::None)
        p.onIndex = -1;
    return p;
}

void ListDragSupport::setTarget(int index) {
    if (index == m_target)
        return;
    m_target = index;
    if (showDropTarget)
        showDropTarget(index);
}

void ListDragSupport::leave() {
    setTarget(-1);
    if (!m_inside)
        return;
    m_inside = false;
    if (exited)
        exited();
}

void ListDragSupport::dragEnter(View* view, QDragEnterEvent* e) {
    if (!validate) {
        e->ignore();
        return;
    }
    m_inside = true;
    // Entering is always taken so that every later position is validated where the pointer is.
    const Proposal p = propose(view, e);
    setTarget(p.onIndex);
    if (p.operation != DragOperation::None)
        e->setDropAction(actionFromOperation(p.operation));
    e->accept();
}

void ListDragSupport::dragMove(View* view, QDragMoveEvent* e) {
    const Proposal p = propose(view, e);
    setTarget(p.onIndex);
    if (p.operation == DragOperation::None) {
        e->ignore();
        return;
    }
    e->setDropAction(actionFromOperation(p.operation));
    e->accept();
}

void ListDragSupport::dragLeave(QDragLeaveEvent*) {
    leave();
}

void ListDragSupport::drop(View* view, QDropEvent* e) {
    QPointer<View> guard(view);
    const Proposal p = propose(view, e);
    const bool taken =
        p.operation != DragOperation::None && accept && accept(infoFor(view, e), e->position());
    if (taken) {
        e->setDropAction(actionFromOperation(p.operation));
        e->accept();
    } else {
        e->ignore();
    }
    if (!guard)
        return;
    setTarget(-1);
    m_inside = false;
    if (!taken && exited)
        exited(); // nothing landed: whatever the hover showed must go
}

} // namespace drag

} // namespace kit
