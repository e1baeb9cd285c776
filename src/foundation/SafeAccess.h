#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

// Typed, null-safe readers of decoded JSON values: whatever type a field has (text, number,
// boolean, null, dictionary, array or missing), they return a value of the asked type, or the
// default, and never fail.
namespace nubo::safe {

// Text of a value: text as is, numbers in their plain form, booleans "1"/"0"; else the default.
QString toString(const QVariant& v, const QString& def = {});
// Number of a value: numbers as is, text parsed (0 when it holds no number), booleans 1/0;
// null, dictionaries and arrays give the default.
double toDouble(const QVariant& v, double def = 0.0);
qint64 toInt64(const QVariant& v, qint64 def = 0);
bool toBool(const QVariant& v, bool def = false);
QVariantMap toMap(const QVariant& v);
QVariantList toList(const QVariant& v);

inline QString string(const QVariantMap& m, const QString& key, const QString& def = {}) {
    return toString(m.value(key), def);
}
inline double number(const QVariantMap& m, const QString& key, double def = 0.0) {
    return toDouble(m.value(key), def);
}
inline qint64 int64(const QVariantMap& m, const QString& key, qint64 def = 0) {
    return toInt64(m.value(key), def);
}
inline bool boolean(const QVariantMap& m, const QString& key, bool def = false) {
    return toBool(m.value(key), def);
}
inline QVariantMap map(const QVariantMap& m, const QString& key) { return toMap(m.value(key)); }
inline QVariantList list(const QVariantMap& m, const QString& key) { return toList(m.value(key)); }

} // namespace nubo::safe
