#include "kit/Pasteboard.h"

#include "foundation/Log.h"

#include <QClipboard>
#include <QDataStream>
#include <QDir>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>

namespace kit {

namespace {

constexpr quint32 kMagic = 0x4e42494d; // identifies Nubo's item encoding
constexpr quint32 kVersion = 1;
const QString kUriList = QStringLiteral("text/uri-list");
const QString kGnomeCopied = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCut = QStringLiteral("application/x-kde-cutselection");

// The clean absolute path a file URL names on this machine ("." and "..", doubled and trailing
// slashes gone, so "file:////" is the root and a folder's name is never empty), or nothing: a
// relative path would be read from wherever Nubo happens to run, another host's path is not
// here, and a NUL would cut the path short when the system reads it.
QString localPathOf(const QUrl& url) {
    if (!url.isValid() || !url.isLocalFile())
        return {};
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return {};
    const QString path = url.path(QUrl::FullyDecoded);
    if (!path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
        return {};
    return QDir::cleanPath(path);
}

// Parses lines of URLs, skipping comments and anything that is not a local file; each one is
// given back as the URL of its clean path.
QList<QUrl> parseUrlLines(const QByteArray& data, int skipFirstLines = 0) {
    QList<QUrl> out;
    const QList<QByteArray> lines = data.split('\n');
    for (int i = skipFirstLines; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QString path = localPathOf(QUrl::fromEncoded(line, QUrl::StrictMode));
        if (!path.isEmpty())
            out.append(QUrl::fromLocalFile(path));
    }
    return out;
}

} // namespace

Pasteboard& Pasteboard::general() {
    NUBO_ASSERT_MAIN_THREAD();
    static Pasteboard pb;
    return pb;
}

void Pasteboard::clearContents() {
    if (QClipboard* cb = QGuiApplication::clipboard())
        cb->clear();
}

void Pasteboard::writeItemsToMimeData(QMimeData* mime, const QString& type, const QList<QByteArray>& items) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kVersion << quint32(items.size());
    for (const QByteArray& item : items)
        out << item;
    mime->setData(type, data);
}

QList<QByteArray> Pasteboard::itemsFromMimeData(const QMimeData* mime, const QString& type) {
    if (!mime || !mime->hasFormat(type))
        return {};
    const QByteArray data = mime->data(type);
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0, count = 0;
    in >> magic >> version >> count;
    // Each item takes at least its 4-byte length, which bounds a forged count.
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion ||
        count > quint32(data.size()) / 4)
        return {};
    QList<QByteArray> items;
    items.reserve(int(count));
    for (quint32 i = 0; i < count; ++i) {
        QByteArray item;
        in >> item;
        if (in.status() != QDataStream::Ok)
            return {};
        items.append(item);
    }
    return items;
}

QList<QUrl> Pasteboard::fileURLsFromMimeData(const QMimeData* mime) {
    if (!mime)
        return {};
    if (mime->hasFormat(kGnomeCopied)) {
        // "copy" or "cut" on the first line, then one URL per line.
        QList<QUrl> urls = parseUrlLines(mime->data(kGnomeCopied), 1);
        if (!urls.isEmpty())
            return urls;
    }
    if (mime->hasFormat(kUriList))
        return parseUrlLines(mime->data(kUriList));
    return {};
}

QStringList Pasteboard::localPathsFromMimeData(const QMimeData* mime) {
    QStringList out;
    for (const QUrl& u : fileURLsFromMimeData(mime))
        out.append(u.toLocalFile());
    return out;
}

void Pasteboard::writeItems(const QString& type, const QList<QByteArray>& items, const QString& plainText) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb)
        return;
    auto* mime = new QMimeData;
    writeItemsToMimeData(mime, type, items);
    if (!plainText.isEmpty())
        mime->setText(plainText);
    cb->setMimeData(mime);
}

QList<QByteArray> Pasteboard::readItems(const QString& type) const {
    const QClipboard* cb = QGuiApplication::clipboard();
    return cb ? itemsFromMimeData(cb->mimeData(), type) : QList<QByteArray>();
}

bool Pasteboard::hasItems(const QString& type) const {
    return !readItems(type).isEmpty();
}

bool Pasteboard::setString(const QString& text) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb || m_refusesWrites)
        return false;
    cb->setText(text);
    return cb->text() == text;
}

QString Pasteboard::string() const {
    const QClipboard* cb = QGuiApplication::clipboard();
    return cb ? cb->text() : QString();
}

QList<QUrl> Pasteboard::readFileURLs() const {
    const QClipboard* cb = QGuiApplication::clipboard();
    return cb ? fileURLsFromMimeData(cb->mimeData()) : QList<QUrl>();
}

bool Pasteboard::fileURLsAreCut() const {
    const QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* mime = cb ? cb->mimeData() : nullptr;
    if (!mime)
        return false;
    if (mime->hasFormat(kGnomeCopied))
        return mime->data(kGnomeCopied).split('\n').value(0).trimmed() == "cut";
    return mime->hasFormat(kKdeCut) && mime->data(kKdeCut).startsWith('1');
}

} // namespace kit
