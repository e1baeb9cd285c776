#pragma once

#include <QColor>
#include <QFont>
#include <QString>

// A colour from "#RRGGBB"; any other text gives opaque black. Alpha is kept within 0 to 1.
QColor colorWithRGB(const QString& rgb);
QColor colorWithRGB(const QString& rgb, double alpha);

// The program's fonts and colour table.
class KZStyle {
public:
    // The named UI font of that pixel size, else the system font; CJK text falls back to the
    // desktop's CJK fonts either way.
    static QFont fontOfSize(double size);
    static QFont boldFontOfSize(double size);
    static QFont subTitleFont() { return fontOfSize(12); }
    static QFont titleFont() { return fontOfSize(14); }

    static QColor themeColor() { return colorWithRGB(QStringLiteral("#017FFD")); }
    static QColor tabbarTintColor() { return colorWithRGB(QStringLiteral("#017FFD")); }
    static QColor tabbarHighlightTintColor() { return colorWithRGB(QStringLiteral("#017FFD"), 0.3); }
    static QColor VCBackgroundColor() { return colorWithRGB(QStringLiteral("#F7F8FA")); }
    static QColor separatorColor() { return colorWithRGB(QStringLiteral("#ECECEC")); }
    static QColor titleColor() { return colorWithRGB(QStringLiteral("#1B2532")); }
    static QColor grayTitleColor() { return colorWithRGB(QStringLiteral("#59626E")); }
    static QColor cellSelectedColor() { return colorWithRGB(QStringLiteral("#59626E"), 0.15); }
    static QColor darkGray2Color() { return colorWithRGB(QStringLiteral("#637387")); }
    static QColor lightGrayColor() { return colorWithRGB(QStringLiteral("#DEE3E9")); }
    static QColor lightGray2Color() { return colorWithRGB(QStringLiteral("#637387")); }
    static QColor lightGray3Color() { return colorWithRGB(QStringLiteral("#B0BBCA")); }
    static QColor warningColor() { return colorWithRGB(QStringLiteral("#FF4D5C")); }
    static QColor focusRingColor() { return colorWithRGB(QStringLiteral("#2C8EFF")); }
};
