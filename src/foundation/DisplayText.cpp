#include "DisplayText.h"

#include "SafeAccess.h"

#include <QMimeDatabase>
#include <QTimeZone>
#include <cerrno>
#include <cmath>

namespace nubo::text {

namespace {
const QString kAllFiles = QStringLiteral("全部文件");
} // namespace

QString convertSizeToReadable(quint64 bytes) {
    return getSizeStringWithSize(float(bytes));
}

QString getSizeStringWithSize(float size) {
    if (!(size >= 0.0f)) // negative or not a number: nothing sensible to show but zero
        size = 0.0f;
    if (size < 1024.0f)
        return QString::asprintf("%dB", int(size));
    if (size < 1048576.0f)
        return getFormatString(size / 1024.0f, QStringLiteral("K"));
    if (size < 1073741824.0f)
        return getFormatString(size / 1048576.0f, QStringLiteral("M"));
    return getFormatString(size / 1073741824.0f, QStringLiteral("G"));
}

QString getFormatString(float value, const QString& unit) {
    const double tenth = std::trunc(double(value) * 10.0);
    const bool whole = std::fmod(tenth, 10.0) == 0.0;
    return QString::asprintf(whole ? "%.0f" : "%.1f", double(value)) + unit;
}

QString formatedTime(double seconds) {
    if (!(seconds > 0.0))
        return QStringLiteral("00:00:00");
    // Clamp what a 64-bit count can hold; a remaining time that large is meaningless anyway.
    const qint64 total = seconds >= 9.0e18 ? qint64(9000000000000000000LL) : qint64(seconds);
    const qint64 hours = total / 3600;
    const qint64 minutes = (total % 3600) / 60;
    const int secs = int(total % 60);
    auto two = [](qint64 n) {
        return n < 10 ? QStringLiteral("0") + QString::number(n) : QString::number(n);
    };
    return two(hours) + u':' + two(minutes) + u':' + QString::asprintf("%02d", secs);
}

QString getReadableTimeInterval(double secondsSince1970) {
    if (!(secondsSince1970 > 0.0) || secondsSince1970 > 253402300799.0) // up to year 9999
        return QStringLiteral("-");
    const QDateTime t =
        QDateTime::fromMSecsSinceEpoch(qint64(secondsSince1970 * 1000.0), QTimeZone::systemTimeZone());
    return t.toString(QStringLiteral("yyyy-M-d HH:mm"));
}

QString stringFromDateTime(const QDateTime& date) {
    return date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString lastPathComponent(const QString& path) {
    QStringView v(path);
    while (v.size() > 1 && v.endsWith(u'/'))
        v.chop(1);
    if (v == u"/")
        return QStringLiteral("/");
    const qsizetype slash = v.lastIndexOf(u'/');
    return v.mid(slash + 1).toString();
}

QString pathExtension(const QString& path) {
    const QString name = lastPathComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0 || dot == name.size() - 1)
        return {};
    return name.mid(dot + 1).toLower();
}

QString getReadableFileName(const QString& path) {
    const QString name = lastPathComponent(path);
    if (name.isEmpty() || name == u"/")
        return kAllFiles;
    return name;
}

QString fixedRootPath(const QString& path) {
    if (path == u"/")
        return kAllFiles;
    return lastPathComponent(path);
}

double safeDoubleValue(const QVariant& value) {
    return nubo::safe::toDouble(value, 0.0);
}

QString fileTypeDescription(bool isDirectory, const QString& path) {
    static const QString kDocument = QStringLiteral("文稿");
    QMimeDatabase db;
    QString comment;
    if (isDirectory) {
        comment = db.mimeTypeForName(QStringLiteral("inode/directory")).comment();
    } else {
        const QString ext = pathExtension(path);
        if (ext.isEmpty())
            return kDocument;
        const QList<QMimeType> types = db.mimeTypesForFileName(QStringLiteral("x.") + ext);
        if (!types.isEmpty())
            comment = types.first().comment();
    }
    return comment.isEmpty() ? kDocument : comment;
}

QString systemErrorCause(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间不足");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有访问权限");
    case EROFS:
        return QStringLiteral("磁盘为只读");
    case EFBIG: // past the file system's (or the process's) largest file
        return QStringLiteral("文件过大，磁盘无法保存");
    case ENAMETOOLONG:
        return QStringLiteral("文件名过长");
    case EEXIST:
    case ENOTEMPTY:
        return QStringLiteral("已存在同名文件");
    case ENOENT:
        return QStringLiteral("文件或文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中的文件夹被同名文件占用");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件过多");
    case ENOMEM:
        return QStringLiteral("内存不足");
    default:
        return {};
    }
}

} // namespace nubo::text
