#pragma once

#include <QMimeData>
#include <QPointF>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace kit {

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

// Running a drag (the platform's part), replaceable so that tests can drop without a pointer.
struct DragResult {
    Qt::DropAction action = Qt::IgnoreAction;
    bool releasedOutsideNubo = false; // the pointer was released over no Nubo window
    QPointF screenPoint;              // bottom-left origin
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
};
// Drags the rows or items `indexes` (pressed at `pressInWindow`, bottom-left origin) with their
// writers, from start to end. No hook runs once `source` is destroyed. Nothing happens without writers.
void runOwnDrag(QWidget* source, const QList<int>& indexes, QPointF pressInWindow,
                const QList<std::shared_ptr<PasteboardWriter>>& writers, const OwnDragHooks& hooks);
void setRunnerForTesting(DragRunner runner);

DragOperation operationFromAction(Qt::DropAction action);
Qt::DropAction actionFromOperation(DragOperation op);
} // namespace drag

} // namespace kit
