#include "kit/Drag.h"

#include "kit/Pasteboard.h"
#include "kit/Window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDrag>
#include <QKeyEvent>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

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
} // namespace

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
    return r;
}

void runOwnDrag(QWidget* source, const QList<int>& indexes, QPointF pressInWindow,
                const QList<std::shared_ptr<PasteboardWriter>>& writers, const OwnDragHooks& hooks) {
    if (!source || writers.isEmpty())
        return;
    auto* mime = new QMimeData;
    markAsOwn(mime);
    bool promise = false;
    for (const auto& w : writers) {
        w->writeTo(mime);
        promise = promise || w->isFilePromise();
    }
    QPointer<QWidget> guard(source);
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
    if (guard && promise && result.releasedOutsideNubo && op != DragOperation::Move) {
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

} // namespace drag

} // namespace kit
