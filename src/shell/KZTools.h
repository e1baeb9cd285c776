#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/ShareInfo.h"
#include "kit/Image.h"

#include <QFont>
#include <QHash>
#include <QString>

// Display texts, icons and the network guard that every page uses. Main thread only.
class KZTools {
public:
    static QString convertSizeToReadable(quint64 bytes);
    static QString getSizeStringWithSize(float size);
    static QString getFormatString(float value, const QString& unit);
    static QString formatedTime(double seconds);
    static QString getReadableTimeInterval(double secondsSince1970);
    static QString getReadableFileName(const QString& path);

    // The icon a list row shows for a record: the special folders by name, else by extension.
    static kit::Image getDefaultIconForFileInfo(const CloudFileInfoPtr& info);
    // A folder link's folder icon, else the icon of the shared file's name.
    static kit::Image getDefaultIconForShareInfo(const ShareInfoPtr& share);
    // The icon of "filedirectory" for "/", else of the path's extension.
    static kit::Image getIconForFile(const QString& path);
    // The icon of a type key (an extension, or "filedirectory"); the table's "*" entry when the
    // table lacks the key.
    static kit::Image iconForFileType(const QString& type);
    // The image name the icon table gives a type key.
    static QString iconNameForFileType(const QString& type);
    // The name of the special-folder or type icon chosen for a record.
    static QString iconNameForFileInfo(const CloudFileInfoPtr& info);
    // The desktop's description of the record's type ("文稿" when it has none).
    static QString fileType(const CloudFileInfoPtr& info);

    // When the network is paused, shows "网络连接失败，请检查网络" as a failure toast and
    // answers true: the caller then does nothing more.
    static bool isNetworkPaused();

    // Why downloads cannot go into `folder` ("无效的下载路径", or "下载路径不存在或无法写入："
    // with the folder), or an empty text when they can. The user's Downloads folder is made
    // when it is missing, so a first download there works on a fresh account.
    static QString downloadFolderProblem(const QString& folder);

    // The width, rounded up plus one, of the text drawn with the font (wrapping, unlimited width).
    static float widthForString(const QString& text, const QFont& font, qint64 alignment, float height);

private:
    static const QHash<QString, QString>& iconTable();
};
