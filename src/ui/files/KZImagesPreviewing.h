#pragma once

#include "cloud/CloudFileInfo.h"

#include <QList>

// What the file page asks of the image preview window: the images of the folder in row order
// and the one to show first.
class KZImagesPreviewOwner;

class KZImagesPreviewing {
public:
    virtual ~KZImagesPreviewing() = default;
    virtual void updateImageInfos(const QList<CloudFileInfoPtr>& images, int index) = 0;
    virtual void setPreviewOwner(KZImagesPreviewOwner* owner) { (void)owner; }
};

// What the preview window asks of the page it was opened from: whether files may be deleted
// now (the page's plan and lock checks, which show their own alerts when they refuse).
class KZImagesPreviewOwner {
public:
    virtual ~KZImagesPreviewOwner() = default;
    virtual bool previewMayDeleteFiles(const QList<CloudFileInfoPtr>& files) = 0;
};
