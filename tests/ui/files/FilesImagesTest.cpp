#include "ui/files/KZFilesImages.h"

#include <QIcon>
#include <gtest/gtest.h>

// Every control of the file page draws a picture, also where the desktop names a theme without
// symbolic icons (as on a plain X display, where Qt reports "hicolor").
TEST(FilesImages, EveryNamedImageOfThePageLoadsUnderAThemeWithoutThem) {
    const QString theme = QIcon::themeName(), fallback = QIcon::fallbackThemeName();
    QIcon::setThemeName(QStringLiteral("hicolor"));
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    // A size of its own, so no image scaled earlier comes from the cache.
    const QSizeF size(18, 18);
    for (const char* name : {"files_upload", "files_new", "files_download", "files_delete", "files_more",
                             "files_sorts", "files_list", "files_grid", "files_crumb_arrow",
                             "files_down_arrow", "files_go_back", "files_go_forward"}) {
        const kit::Image image = KZFilesImages::named(QString::fromLatin1(name), size);
        EXPECT_FALSE(image.isNull()) << name;
        if (!image.isNull()) {
            EXPECT_EQ(image.size(), size) << name;
        }
    }
    QIcon::setThemeName(theme);
    QIcon::setFallbackThemeName(fallback);
}
