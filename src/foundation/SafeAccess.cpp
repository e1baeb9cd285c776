#include "foundation/SafeAccess.h"

#include <QLocale>
#include <cmath>

namespace nubo::safe {

namespace {
bool isNumeric(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}
bool isText(const QVariant& v) {
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray;
}
} // namespace

QString toString(const QVariant& v, const QString& def) {
    if (isText(v))
        return v.toString();
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', 17);
    }
    if (isNumeric(v))
        return v.toString();
    return def;
}

double toDouble(const QVariant& v, double def) {
    if (isNumeric(v))
        return v.toDouble();
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1.0 : 0.0;
    if (isText(v)) {
        // Like a C reader: the leading number of the text, 0 when there is none. The prefix is
        // found in one pass, so a long text from the service costs linear time.
        const QString s = v.toString().trimmed();
        const qsizetype n = s.size();
        auto digits = [&](qsizetype i) {
            while (i < n && s[i] >= u'0' && s[i] <= u'9')
                ++i;
            return i;
        };
        qsizetype i = n > 0 && (s[0] == u'+' || s[0] == u'-') ? 1 : 0;
        const qsizetype intStart = i;
        i = digits(i);
        bool any = i > intStart;
        if (i < n && s[i] == u'.') {
            const qsizetype fracEnd = digits(i + 1);
            if (any || fracEnd > i + 1) {
                any = true;
                i = fracEnd;
            }
        }
        if (!any)
            return 0.0;
        if (i < n && (s[i] == u'e' || s[i] == u'E')) {
            qsizetype e = i + 1;
            if (e < n && (s[e] == u'+' || s[e] == u'-'))
                ++e;
            const qsizetype expEnd = digits(e);
            if (expEnd > e)
                i = expEnd;
        }
        bool ok = false;
        const double d = QLocale::c().toDouble(QStringView(s).left(i), &ok);
        return ok && std::isfinite(d) ? d : 0.0;
    }
    return def;
}

qint64 toInt64(const QVariant& v, qint64 def) {
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int || v.typeId() == QMetaType::UInt ||
        v.typeId() == QMetaType::ULongLong)
        return v.toLongLong();
    if (isText(v)) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (ok)
            return n;
    }
    if (isNumeric(v) || isText(v) || v.typeId() == QMetaType::Bool) {
        const double d = toDouble(v, double(def));
        if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
            return def;
        return qint64(d);
    }
    return def;
}

bool toBool(const QVariant& v, bool def) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumeric(v))
        return v.toDouble() != 0.0;
    if (isText(v)) {
        const QString s = v.toString().trimmed().toLower();
        if (s == u"true" || s == u"yes")
            return true;
        if (s == u"false" || s == u"no" || s.isEmpty())
            return false;
        return toDouble(v) != 0.0;
    }
    return def;
}

QVariantMap toMap(const QVariant& v) {
    return v.typeId() == QMetaType::QVariantMap ? v.toMap() : QVariantMap{};
}

QVariantList toList(const QVariant& v) {
    return v.typeId() == QMetaType::QVariantList || v.typeId() == QMetaType::QStringList ? v.toList()
                                                                                        : QVariantList{};
}

} // namespace nubo::safe
