#pragma once

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>

class QObject;

namespace kit {

// An image value: cheap to copy (shared), safe to make and pass on any thread. It knows its
// size in points and its byte length (for memory budgets). A pixmap for painting is made on
// the main thread when first asked.
class Image {
public:
    Image() = default;
    Image(const QImage& image); // NOLINT: an image is an image
    explicit Image(const QPixmap& pixmap);

    // A named image of Nubo's resources (":/images/<name>.png", "@2x.png" or ".svg"), else of
    // the desktop's icon theme (asked on the main thread only); null when neither has it. Each
    // name is loaded once.
    static Image named(const QString& name);
    // Decodes encoded bytes (PNG, JPEG, GIF, BMP, WebP, SVG ... as Qt supports); null when they
    // are not an image.
    static Image fromData(const QByteArray& data);
    static Image fromFile(const QString& path);
    // Decodes on a worker thread and runs `done` with the result on the main thread, unless
    // `context` (a main-thread object) is gone by then. Keeps large decodes off the main thread.
    static void decodeInBackground(const QByteArray& data, QObject* context,
                                   std::function<void(const Image&)> done);

    bool isNull() const { return !m_d || m_d->image.isNull(); }
    // Size in points (device-independent pixels).
    QSizeF size() const;
    // Bytes held by the decoded pixels.
    qint64 bytesLength() const;

    const QImage& toImage() const;
    // Main thread only.
    QPixmap pixmap() const;
    // The image scaled to fit `size` (points), keeping its aspect ratio.
    Image scaledToFit(const QSizeF& size) const;
    // The name it was loaded under (named images only).
    QString name() const { return m_d ? m_d->name : QString(); }

    bool operator==(const Image& o) const { return m_d == o.m_d; }

private:
    struct Data {
        QImage image;
        QString name;
        mutable QPixmap pixmap;
    };
    std::shared_ptr<Data> m_d;
};

} // namespace kit
