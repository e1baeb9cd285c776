#pragma once

// Pictures for tests, encoded as files hold them.
#include <QByteArray>
#include <QColor>
#include <QImage>

namespace nubo::test {

// The image in `format`; a failure (no writer for the format) fails the running test.
QByteArray encoded(const QImage& image, const char* format = "PNG");
// A PNG of one colour.
QByteArray png(int width, int height, const QColor& color);

} // namespace nubo::test
