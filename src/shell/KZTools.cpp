#include "KZTools.h"

#include "KZWindowsManager.h"
#include "foundation/BWError.h"
#include "foundation/DisplayText.h"
#include "foundation/NetworkMonitor.h"
#include "foundation/SafeAccess.h"
#include "storage/DataPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <cmath>

Q_LOGGING_CATEGORY(lcTools, "nubo.shell.tools", QtInfoMsg)

namespace {
const QString kAnyType = QStringLiteral("*");
const QString kDirectoryType = QStringLiteral("filedirectory");
} // namespace

QString KZTools::convertSizeToReadable(quint64 bytes) {
    return nubo::text::convertSizeToReadable(bytes);
}
QString KZTools::getSizeStringWithSize(float size) {
    return nubo::text::getSizeStringWithSize(size);
}
QString KZTools::getFormatString(float value, const QString& unit) {
    return nubo::text::getFormatString(value, unit);
}
QString KZTools::formatedTime(double seconds) {
    return nubo::text::formatedTime(seconds);
}
QString KZTools::getReadableTimeInterval(double secondsSince1970) {
    return nubo::text::getReadableTimeInterval(secondsSince1970);
}
QString KZTools::getReadableFileName(const QString& path) {
    return nubo::text::getReadableFileName(path);
}

const QHash<QString, QString>& KZTools::iconTable() {
    // Read once from the program's resources; keys are lower case.
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        QFile f(QStringLiteral(":/data/IconForFileType.json"));
        if (f.open(QIODevice::ReadOnly)) {
            const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
            for (auto it = o.begin(); it != o.end(); ++it)
                if (it.value().isString())
                    t.insert(it.key().toLower(), it.value().toString());
        }
        if (!t.contains(kAnyType))
            t.insert(kAnyType, QStringLiteral("file_unknown"));
        return t;
    }();
    return table;
}

QString KZTools::iconNameForFileType(const QString& type) {
    const QHash<QString, QString>& t = iconTable();
    return t.value(type.toLower(), t.value(kAnyType));
}

kit::Image KZTools::iconForFileType(const QString& type) {
    return kit::Image::named(iconNameForFileType(type));
}

kit::Image KZTools::getIconForFile(const QString& path) {
    if (path == u"/")
        return iconForFileType(kDirectoryType);
    return iconForFileType(nubo::text::pathExtension(path));
}

QString KZTools::iconNameForFileInfo(const CloudFileInfoPtr& info) {
    if (!info)
        return iconNameForFileType(kAnyType);
    if (!info->isDirectory()) {
        if (info->path() == u"/")
            return iconNameForFileType(kDirectoryType);
        return iconNameForFileType(nubo::text::pathExtension(info->path()));
    }
    if (info->m_isShare())
        return QStringLiteral("folder_new_share");
    const QString name = nubo::text::lastPathComponent(info->path());
    if (name.startsWith(u"来自-手机") || name == u"来自-iPhone" || name == u"来自-iPod")
        return QStringLiteral("folder_phone_file");
    if (name.startsWith(u"来自-浏览器"))
        return QStringLiteral("folder_fromse");
    if (name == u"图片")
        return QStringLiteral("folder_img");
    if (name == u"视频")
        return QStringLiteral("folder_video");
    if (name == u"音乐")
        return QStringLiteral("folder_music");
    return QStringLiteral("folder_new");
}

kit::Image KZTools::getDefaultIconForFileInfo(const CloudFileInfoPtr& info) {
    kit::Image image = kit::Image::named(iconNameForFileInfo(info));
    // Never null: a missing image falls back to the table's catch-all icon.
    return image.isNull() ? iconForFileType(kAnyType) : image;
}

kit::Image KZTools::getDefaultIconForShareInfo(const ShareInfoPtr& share) {
    if (!share)
        return iconForFileType(kAnyType);
    if (nubo::safe::toInt64(share->link_type()) != 0)
        return kit::Image::named(QStringLiteral("folder_new"));
    return getIconForFile(share->desc());
}

QString KZTools::fileType(const CloudFileInfoPtr& info) {
    if (!info)
        return QStringLiteral("文稿");
    return nubo::text::fileTypeDescription(info->isDirectory(), info->path());
}

bool KZTools::isNetworkPaused() {
    if (!NetworkMonitor::getInstance()->isNetworkPaused())
        return false;
    const BWError error = BWError::application(0, QStringLiteral("网络连接失败，请检查网络"));
    KZWindowsManager::shareInstance().showFailedToast(error.localizedDescription());
    return true;
}

QString KZTools::downloadFolderProblem(const QString& folder) {
    if (folder.isEmpty())
        return QStringLiteral("无效的下载路径");
    if (!nubo::paths::prepareDownloadFolder(folder) || !QFileInfo(folder).isWritable())
        return QStringLiteral("下载路径不存在或无法写入：%1").arg(folder);
    return {};
}

float KZTools::widthForString(const QString& text, const QFont& font, qint64 alignment, float height) {
    Qt::Alignment align = Qt::AlignLeft;
    if (alignment == 1)
        align = Qt::AlignRight;
    else if (alignment == 2)
        align = Qt::AlignHCenter;
    const QFontMetricsF fm(font);
    const QRectF r = text.isEmpty()
                         ? QRectF()
                         : fm.boundingRect(QRectF(0, 0, 1e7, double(height)), align | Qt::TextWordWrap, text);
    qCDebug(lcTools) << "widthForString" << text << r.size();
    return float(std::ceil(r.width()) + 1.0);
}
