#pragma once

#include "cloud/CloudFileInfo.h"

#include <QList>

// What the file page asks of the image preview window: the images of the folder in row order
// and the one to show first.
class KZImagesPreviewing {
public:
    virtual ~KZImagesPreviewing() = default;
    virtual void updateImageInfos(const QList<CloudFileInfoPtr>& images, int index) = 0;
};
