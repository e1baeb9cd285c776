#include "KZStyle.h"

#include <QFontDatabase>
#include <QGuiApplication>

QColor colorWithRGB(const QString& rgb) {
    return colorWithRGB(rgb, 1.0);
}

QColor colorWithRGB(const QString& rgb, double alpha) {
    const double a = alpha < 0.0 ? 0.0 : (alpha > 1.0 ? 1.0 : alpha);
    QColor black(0, 0, 0);
    black.setAlphaF(float(a));
    if (rgb.size() != 7 || !rgb.startsWith(u'#'))
        return black;
    bool ok = false;
    const uint value = QStringView(rgb).mid(1).toUInt(&ok, 16);
    // toUInt accepts a sign or "0x"; only six plain hex digits make a colour.
    for (QChar c : QStringView(rgb).mid(1))
        if (!c.isDigit() && !(c.toLower() >= u'a' && c.toLower() <= u'f'))
            ok = false;
    if (!ok)
        return black;
    QColor c((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    c.setAlphaF(float(a));
    return c;
}

namespace {
QFont namedOrSystem(const QString& family, double size, bool bold) {
    static const bool hasRegular = QFontDatabase::families().contains(QStringLiteral("PingFangSC-Regular"));
    static const bool hasMedium = QFontDatabase::families().contains(QStringLiteral("PingFangSC-Medium"));
    const bool has = bold ? hasMedium : hasRegular;
    QFont f = has ? QFont(family) : QGuiApplication::font();
    if (!has && bold)
        f.setWeight(QFont::Bold);
    f.setPixelSize(qMax(1, qRound(size)));
    return f;
}
} // namespace

QFont KZStyle::fontOfSize(double size) {
    return namedOrSystem(QStringLiteral("PingFangSC-Regular"), size, false);
}

QFont KZStyle::boldFontOfSize(double size) {
    return namedOrSystem(QStringLiteral("PingFangSC-Medium"), size, true);
}
