#include "kit/Image.h"

#include "foundation/Dispatch.h"
#include "foundation/Handoff.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QImageReader>
#include <QMutex>
#include <QPainter>
#include <QPointer>
#include <QSvgRenderer>
#include <QThread>
#include <QThreadPool>

namespace kit {

namespace {

const QImage kNullImage;

// SVGs are rendered at twice their size so they stay sharp on high-density screens.
constexpr qreal kSvgScale = 2.0;

QImage renderSvg(const QByteArray& data) {
    QSvgRenderer renderer(data);
    if (!renderer.isValid())
        return {};
    QSize size = renderer.defaultSize();
    if (size.isEmpty())
        return {};
    QImage img(size * kSvgScale, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    renderer.render(&p);
    p.end();
    img.setDevicePixelRatio(kSvgScale);
    return img;
}

QImage decode(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImage img = reader.read();
    if (!img.isNull())
        return img;
    const QByteArray head = data.left(512);
    if (head.contains("<svg") || head.contains("<?xml"))
        return renderSvg(data);
    return {};
}

QImage loadResource(const QString& name) {
    const QString base = QStringLiteral(":/images/") + name;
    QFile hi(base + QStringLiteral("@2x.png"));
    if (hi.exists() && hi.open(QIODevice::ReadOnly)) {
        QImage img = decode(hi.readAll());
        if (!img.isNull()) {
            img.setDevicePixelRatio(2.0);
            return img;
        }
    }
    for (const QString& ext : {QStringLiteral(".png"), QStringLiteral(".svg")}) {
        QFile f(base + ext);
        if (f.exists() && f.open(QIODevice::ReadOnly)) {
            QImage img = decode(f.readAll());
            if (!img.isNull())
                return img;
        }
    }
    return {};
}

QImage loadThemeIcon(const QString& name) {
    const QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull())
        return {};
    QList<QSize> sizes = icon.availableSizes();
    QSize want(64, 64);
    if (!sizes.isEmpty()) {
        std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
        want = sizes.last().width() > 256 ? QSize(256, 256) : sizes.last();
    }
    return icon.pixmap(want).toImage();
}

} // namespace

Image::Image(const QImage& image) {
    if (!image.isNull())
        m_d = std::make_shared<Data>(Data{image, {}, {}});
}

Image::Image(const QPixmap& pixmap) {
    if (!pixmap.isNull())
        m_d = std::make_shared<Data>(Data{pixmap.toImage(), {}, pixmap});
}

Image Image::named(const QString& name) {
    static QMutex mutex;
    static QHash<QString, Image> cache;
    if (name.isEmpty() || name.contains(QLatin1String("..")))
        return {};
    QMutexLocker lock(&mutex);
    auto it = cache.constFind(name);
    if (it != cache.constEnd())
        return *it;
    QImage img = loadResource(name);
    // The icon theme belongs to the GUI thread; elsewhere only Nubo's own images are found.
    const bool mainThread = QCoreApplication::instance() && QThread::currentThread() == qApp->thread();
    if (img.isNull() && mainThread)
        img = loadThemeIcon(name);
    Image out(img);
    if (out.m_d)
        out.m_d->name = name;
    if (!out.isNull() || mainThread)
        cache.insert(name, out); // a miss is remembered too: each name is looked up once
    return out;
}

Image Image::fromData(const QByteArray& data) {
    return Image(decode(data));
}

void Image::decodeInBackground(const QByteArray& data, QObject* context,
                               std::function<void(const Image&)> done) {
    QPointer<QObject> guard(context);
    nubo::startOnPool(*QThreadPool::globalInstance(), [data, guard, done = std::move(done)] {
        const Image image(decode(data));
        // The guard is read on the main thread, where the context lives and dies.
        nubo::runOnMain([guard, image, done] {
            if (guard)
                done(image);
        });
    });
}

Image Image::fromFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return fromData(f.readAll());
}

QSizeF Image::size() const {
    if (isNull())
        return {};
    return QSizeF(m_d->image.size()) / m_d->image.devicePixelRatio();
}

qint64 Image::bytesLength() const {
    return isNull() ? 0 : m_d->image.sizeInBytes();
}

const QImage& Image::toImage() const {
    return m_d ? m_d->image : kNullImage;
}

QPixmap Image::pixmap() const {
    if (isNull())
        return {};
    if (m_d->pixmap.isNull())
        m_d->pixmap = QPixmap::fromImage(m_d->image);
    return m_d->pixmap;
}

Image Image::scaledToFit(const QSizeF& s) const {
    if (isNull() || s.isEmpty())
        return {};
    const qreal dpr = m_d->image.devicePixelRatio();
    QImage scaled = m_d->image.scaled((s * dpr).toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(dpr);
    return Image(scaled);
}

} // namespace kit
