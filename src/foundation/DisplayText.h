#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

// Display texts of sizes, times, paths and file types, shared by every page. Pure functions
// (the two date formatters are made once); safe from any thread.
namespace nubo::text {

// "%dB" below 1024, else K, M or G with one decimal unless it is a whole number ("1.5K", "2M").
QString convertSizeToReadable(quint64 bytes);
QString getSizeStringWithSize(float size);
// The number written "%.0f" when its first decimal is 0, else "%.1f", the unit right behind it.
QString getFormatString(float value, const QString& unit);

// "HH:MM:SS" of a count of seconds; hours grow past two digits; not positive gives "00:00:00".
QString formatedTime(double seconds);
// Local "yyyy-M-d HH:mm" of seconds since 1970; not positive gives "-".
QString getReadableTimeInterval(double secondsSince1970);
// Local "yyyy-MM-dd HH:mm:ss".
QString stringFromDateTime(const QDateTime& date);

// The last path component, or "全部文件" for the root (and for an empty name).
QString getReadableFileName(const QString& path);
// "全部文件" for "/", else the last path component.
QString fixedRootPath(const QString& path);
// The last component of a slash-separated path ("" for "/" and "").
QString lastPathComponent(const QString& path);
// The lower-cased extension of the last component ("" when there is none).
QString pathExtension(const QString& path);

// The double value of a decoded JSON value whatever its type: text's leading number, a number's
// value, 0 for null, dictionaries, arrays and text without a number.
double safeDoubleValue(const QVariant& value);

// The desktop's description of a folder, or of the type of a file's extension; "文稿" when the
// MIME database knows none.
QString fileTypeDescription(bool isDirectory, const QString& path);

// The cause of a failed file-system call (an errno value) in the user's words, for a message
// that names what failed first: "磁盘空间不足", "没有访问权限", ... Empty for a cause a user
// cannot act on, where the message keeps the system's own text as detail.
QString systemErrorCause(int err);

} // namespace nubo::text
