#pragma once

#include "kit/Image.h"

#include <QSizeF>

namespace KZFilesImages {

// A named image of the file page at the given size: Nubo's own resource when it has one, else
// the desktop theme's icon for the same purpose, so that no control is left without a picture.
kit::Image named(const QString& name, const QSizeF& size = QSizeF(16, 16));

} // namespace KZFilesImages
