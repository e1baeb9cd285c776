#include "ui/files/KZFilesImages.h"

#include <QDir>
#include <QHash>
#include <QIcon>
#include <QStandardPaths>

namespace KZFilesImages {

namespace {
// A theme icon by name; when the desktop's themes lack it (with no desktop running, Qt names
// "hicolor", which holds no symbolic icons), the scalable picture is read directly from the
// desktop's theme, its fallback or the Adwaita theme that Nubo's setup installs.
kit::Image themeImage(const QString& name) {
    kit::Image image = kit::Image::named(name);
    if (!image.isNull())
        return image;
    QStringList themes{QIcon::themeName(), QIcon::fallbackThemeName(), QStringLiteral("Adwaita")};
    themes.removeAll(QString());
    themes.removeDuplicates();
    QStringList roots = QIcon::themeSearchPaths();
    roots += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                       QStandardPaths::LocateDirectory);
    for (const QString& theme : std::as_const(themes)) {
        for (const QString& root : std::as_const(roots)) {
            const QDir scalable(root + QLatin1Char('/') + theme + QStringLiteral("/scalable"));
            for (const QString& category : scalable.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                const QString file =
                    scalable.filePath(category + QLatin1Char('/') + name + QStringLiteral(".svg"));
                if (QFile::exists(file))
                    return kit::Image::fromFile(file);
            }
        }
    }
    return {};
}
} // namespace

kit::Image named(const QString& name, const QSizeF& size) {
    static const QHash<QString, QString> theme{
        {QStringLiteral("files_upload"), QStringLiteral("send-to-symbolic")},
        {QStringLiteral("files_new"), QStringLiteral("folder-new-symbolic")},
        {QStringLiteral("files_download"), QStringLiteral("folder-download-symbolic")},
        {QStringLiteral("files_delete"), QStringLiteral("user-trash-symbolic")},
        {QStringLiteral("files_more"), QStringLiteral("view-more-horizontal-symbolic")},
        {QStringLiteral("files_sorts"), QStringLiteral("view-sort-ascending-symbolic")},
        {QStringLiteral("files_list"), QStringLiteral("view-list-symbolic")},
        {QStringLiteral("files_grid"), QStringLiteral("view-grid-symbolic")},
        {QStringLiteral("files_crumb_arrow"), QStringLiteral("pan-end-symbolic")},
        {QStringLiteral("files_down_arrow"), QStringLiteral("pan-down-symbolic")},
        {QStringLiteral("files_go_back"), QStringLiteral("go-previous-symbolic")},
        {QStringLiteral("files_go_forward"), QStringLiteral("go-next-symbolic")},
        {QStringLiteral("files_search"), QStringLiteral("system-search-symbolic")},
        {QStringLiteral("files_search_delete"), QStringLiteral("edit-clear-symbolic")},
        {QStringLiteral("image_preview_back"), QStringLiteral("go-previous-symbolic")},
        {QStringLiteral("image_preview_forward"), QStringLiteral("go-next-symbolic")},
        {QStringLiteral("image_preview_rotate_left"), QStringLiteral("object-rotate-left-symbolic")},
        {QStringLiteral("image_preview_rotate_right"), QStringLiteral("object-rotate-right-symbolic")},
        {QStringLiteral("image_preview_download"), QStringLiteral("folder-download-symbolic")},
        {QStringLiteral("image_preview_delete"), QStringLiteral("user-trash-symbolic")},
        {QStringLiteral("image_preview_fullscreen"), QStringLiteral("view-fullscreen-symbolic")},
        {QStringLiteral("image_preview_miniscreen"), QStringLiteral("view-restore-symbolic")},
        {QStringLiteral("files_refresh"), QStringLiteral("view-refresh-symbolic")},
    };
    // Scaled once per name and size (main thread).
    static QHash<QString, kit::Image> cache;
    const QString key = name + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x') +
                        QString::number(size.height());
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    kit::Image image = kit::Image::named(name);
    if (image.isNull())
        image = themeImage(theme.value(name, name));
    if (!image.isNull() && image.size() != size)
        image = image.scaledToFit(size);
    cache.insert(key, image);
    return image;
}

} // namespace KZFilesImages
