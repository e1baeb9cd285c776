#pragma once

#include <QByteArray>
#include <QString>

// Natural, locale-aware order of file names: digits compare by value ("a2" before "a10"), case is
// ignored, and the order follows a real locale even when the process runs in the C locale (whose
// plain code-point order knows nothing of numbers). Names are turned into byte keys once, so a
// sort compares bytes instead of calling a collator per comparison.
namespace nubo::collation {

// The locale whose rules order names: the system's, or Chinese (China) when the system has none.
QString localeName();

// The byte key of a name; two keys compare like their names (QByteArray::compare / memcmp).
// Safe to call from any thread.
QByteArray sortKey(const QString& name);

// A name folded for case-insensitive substring search, as UTF-8.
QByteArray searchFold(const QString& text);

} // namespace nubo::collation
