#include "service/CloudService.h"

#include "foundation/Log.h"
#include "service/EmbeddedCloudService.h"
#include "storage/DataPaths.h"

#include <QDir>
#include <QMutex>
#include <algorithm>

namespace nubo {

namespace {
QMutex g_sharedMutex;
std::shared_ptr<CloudService> g_shared;
BWError g_openError;
} // namespace

std::shared_ptr<CloudService> CloudService::shared() {
    QMutexLocker lock(&g_sharedMutex);
    if (!g_shared) {
        auto opened =
            EmbeddedCloudService::open(QDir(paths::dataFolder()).filePath(QStringLiteral("service")));
        g_openError = opened.error;
        if (opened.ok())
            g_shared = opened.value;
        else
            warnIfFailed(lcService(), opened.error, "opening the embedded cloud service");
    }
    return g_shared;
}

BWError CloudService::sharedOpenError() {
    QMutexLocker lock(&g_sharedMutex);
    return g_openError;
}

void CloudService::setShared(std::shared_ptr<CloudService> service) {
    QMutexLocker lock(&g_sharedMutex);
    g_shared = std::move(service);
    g_openError = BWError();
}

BWError CloudService::validateName(const QString& name) {
    auto refuse = [](const QString& msg) {
        return BWError::withMessage(BWError::kDomainCloud, kCloudErrorInvalidName, msg);
    };
    if (name.isEmpty())
        return refuse(QStringLiteral("文件名不能为空"));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return refuse(QStringLiteral("文件名不能为“.”或“..”"));
    if (name.contains(QLatin1Char('/')))
        return refuse(QStringLiteral("文件名不能包含“/”"));
    if (name.contains(QChar(0)))
        return refuse(QStringLiteral("文件名不能包含空字符"));
    // A newline or a tab does not show in a list, so two different names would look the same.
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; };
    if (std::any_of(name.begin(), name.end(), isControl)) {
        // The message names the file, with each control character drawn as its symbol (␊ for
        // a newline), so that the user can tell which file it is.
        QString shown = name;
        for (QChar& c : shown)
            if (isControl(c))
                c = QChar(c.unicode() == 0x7f ? 0x2421 : 0x2400 + c.unicode());
        return refuse(QStringLiteral("“%1”：文件名不能包含换行符、制表符等控制字符").arg(shown));
    }
    if (name.toUtf8().size() > kMaxNameBytes)
        return refuse(QStringLiteral("文件名过长"));
    return {};
}

Result<qint64> CloudService::submitFeedback(const FeedbackReport&) {
    return Result<qint64>::failure(BWError::withMessage(BWError::kDomainCloud, kCloudErrorInvalidArgument,
                                                        QStringLiteral("不支持提交反馈")));
}

} // namespace nubo
