#pragma once

#include "kit/Drag.h"

#include <QString>

// What each dragged row or tile of the file page puts on the drag: a promise of a file, kept
// (the destination learns the files only when it asks for them at the drop).
class KZDraggingFile : public kit::PasteboardWriter {
public:
    qint64 nid = 0;
    qint64 pid = 0;
    QString name;
    QString path;

    bool isFilePromise() const override { return true; }
};
