#pragma once

#include <QMimeData>
#include <QPointF>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

class QWidget;
class QDragEnterEvent;
class QDragMoveEvent;
class QDragLeaveEvent;
class QDropEvent;

namespace kit {

class View;

enum class DragOperation { None = 0, Copy = 1, Move = 16 };
enum class TableDropPosition { On = 0, Above = 1 };
enum class CollectionDropPosition { On = 0, Before = 1 };

// What one dragged row or item puts on the drag pasteboard. A file promise is resolved when
// the drag ends outside Nubo: the source then learns the destination folder.
class PasteboardWriter {
public:
    virtual ~PasteboardWriter() = default;
    virtual void writeTo(QMimeData*) const {}
    virtual bool isFilePromise() const { return false; }
};

// A drag over a drop target, as the target's data source sees it.
class DraggingInfo {
public:
    DraggingInfo(const QMimeData* pasteboard, QPointF locationInWindow, bool fromNubo)
        : m_pasteboard(pasteboard), m_location(locationInWindow), m_fromNubo(fromNubo) {}
    const QMimeData* draggingPasteboard() const { return m_pasteboard; }
    // In the destination window's coordinates, bottom-left origin.
    QPointF draggingLocation() const { return m_location; }
    // True for a drag of Nubo's own rows or items.
    bool isFromNubo() const { return m_fromNubo; }
    // The local files being dragged in (from a file manager); empty for Nubo's own drags.
    QStringList localFileNames() const;

private:
    const QMimeData* m_pasteboard;
    QPointF m_location;
    bool m_fromNubo;
};

// A drag of Nubo's rows or items that is under way.
class DraggingSession {
public:
    QList<int> indexes; // dragged rows or items
    QPointF startPoint; // screen point, bottom-left origin
    DragOperation operation = DragOperation::None;
};

// Running a drag through the desktop, replaceable so that tests can drop without a pointer.
struct DragResult {
    Qt::DropAction action = Qt::IgnoreAction;
    bool releasedOutsideNubo = false;       // the pointer was released over no Nubo window
    bool releasedOverAnotherWindow = false; // ... and over some window (known on X only)
    QPointF screenPoint;                    // bottom-left origin
};
using DragRunner = std::function<DragResult(QWidget* source, QMimeData* mime, Qt::DropActions allowed)>;

namespace drag {
// The MIME type that marks Nubo's own drags (with the process id, so another Nubo is foreign).
QString ownMarkerType();
bool isFromThisProcess(const QMimeData* mime);
void markAsOwn(QMimeData* mime);

// The folder a file promise resolves to when the desktop does not tell where the drop landed.
QString promiseFallbackFolder();
void setPromiseFallbackFolder(const QString& folder);

DragResult run(QWidget* source, QMimeData* mime, Qt::DropActions allowed);

// The callbacks of a drag of Nubo's own rows or items.
struct OwnDragHooks {
    std::function<void(DraggingSession*)> willBegin;
    // File promises dropped where the desktop names no folder resolve to the fallback folder.
    std::function<void(const QString& folder)> promised;
    std::function<void(DraggingSession*, QPointF screenPoint, DragOperation)> ended;
    // Promised files offered as local files: asked once, only when the drop target asks for
    // them (a file manager does at the drop), for their paths once they are on disk. A drop
    // served this way needs no fallback folder.
    std::function<QStringList()> provideFiles;
};
// Whether the drop target of another program took a drop: XDND lets it say so only once it is
// done with the drop (a file manager that asked "copy, move or cancel?" answers after the user
// did), long after the drag itself returned. `done` runs once, on the main thread, with the
// target's answer to the next such message, unless `context` went first; registering again or
// starting another own drag replaces it. Whoever provides a drag's files registers while it
// provides them.
void whenDropTargetFinishes(const QObject* context, std::function<void(bool accepted)> done);
// Hands the target's answer to what was registered (the X11 event filter does; tests may).
void dropTargetFinished(bool accepted);
// Whether a drop target's XdndFinished message (its five data words) says it took the drop, for
// a target that speaks `targetVersion` of the protocol (0 when unknown).
bool dropTargetTookDrop(quint32 targetVersion, const std::array<quint32, 5>& words);

// Drags the rows or items `indexes` (pressed at `pressInWindow`, bottom-left origin) with their
// writers, from start to end. No hook runs once `source` is destroyed. Nothing happens without writers.
void runOwnDrag(QWidget* source, const QList<int>& indexes, QPointF pressInWindow,
                const QList<std::shared_ptr<PasteboardWriter>>& writers, const OwnDragHooks& hooks);
void setRunnerForTesting(DragRunner runner);

DragOperation operationFromAction(Qt::DropAction action);
Qt::DropAction actionFromOperation(DragOperation op);

// The dragging that the table and the grid share: as a source, starting a drag of the pressed
// row or item (with the selection it belongs to) once the pointer has moved far enough; as a
// target, validating every position, showing the row or item a drop would go "on", accepting
// the drop, and telling when a drag left without dropping here.
class ListDragSupport {
public:
    struct Proposal {
        DragOperation operation = DragOperation::None;
        int onIndex = -1; // the row or item the drop would go on, -1 for none
    };
    // Asked for every position of a drag over the view (point in the view's coordinates).
    std::function<Proposal(const DraggingInfo&, QPointF)> validate;
    // The drop itself, after a last validation; true when it was taken.
    std::function<bool(const DraggingInfo&, QPointF)> accept;
    // Shows index as the drop target (-1 clears it).
    std::function<void(int)> showDropTarget;
    // The drag left the view or ended somewhere else (also by Escape).
    std::function<void()> exited;

    // ---- source
    void press(int index, QPointF locationInWindow);
    void release();
    // True once, when a drag should start from the press.
    bool shouldStart(QPointF locationInWindow);
    bool isDragging() const { return m_started; }
    int pressedIndex() const { return m_pressIndex; }
    QPointF pressPoint() const { return m_pressPoint; }
    // Runs the drag of `indexes` with a writer each (indexes without one are left out).
    void start(QWidget* source, const QList<int>& indexes,
               const std::function<std::shared_ptr<PasteboardWriter>(int)>& writerFor,
               const OwnDragHooks& hooks);

    // ---- target: the view forwards its drag events here.
    void dragEnter(View* view, QDragEnterEvent* e);
    void dragMove(View* view, QDragMoveEvent* e);
    void dragLeave(QDragLeaveEvent* e);
    void drop(View* view, QDropEvent* e);
    int dropTargetIndex() const { return m_target; }

private:
    Proposal propose(View* view, QDropEvent* e) const;
    DraggingInfo infoFor(View* view, QDropEvent* e) const;
    void setTarget(int index);
    void leave();

    int m_pressIndex = -1;
    QPointF m_pressPoint;
    bool m_started = false;
    int m_target = -1;
    bool m_inside = false;
};
} // namespace drag

} // namespace kit
