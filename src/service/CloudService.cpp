#include "service/CloudService.h"
#include "service/EmbeddedCloudService.h"
#include "storage/DataPaths.h"

#include <QDir>
#include <QMutex>

namespace nubo {

namespace {
QMutex g_sharedMutex;
std::shared_ptr<CloudService> g_shared;
} // namespace

std::shared_ptr<CloudService> CloudService::shared() {
    QMutexLocker lock(&g_sharedMutex);
    if (!g_shared) {
        auto opened =
            EmbeddedCloudService::open(QDir(paths::dataFolder()).filePath(QStringLiteral("service")));
        if (opened.ok())
            g_shared = opened.value;
        else
            qWarning("embedded cloud service failed to open: %s",
                     qPrintable(opened.error.localizedDescription()));
    }
    return g_shared;
}

void CloudService::setShared(std::shared_ptr<CloudService> service) {
    QMutexLocker lock(&g_sharedMutex);
    g_shared = std::move(service);
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
    if (name.toUtf8().size() > kMaxNameBytes)
        return refuse(QStringLiteral("文件名过长"));
    return {};
}

} // namespace nubo
