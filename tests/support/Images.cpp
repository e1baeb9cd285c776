#include "support/Images.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace nubo::test {

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format))
        << "no writer for " << format << " (scripts/setup installs them)";
    return bytes;
}

QByteArray png(int width, int height, const QColor& color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return encoded(image);
}

} // namespace nubo::test
