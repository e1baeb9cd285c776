#pragma once

// Helpers shared by the embedded service's sources.

#include "service/CloudService.h"
#include "storage/Database.h"
#include "storage/NodeRow.h"

namespace nubo::service_detail {

inline BWError cloudError(int code, const QString& msg) {
    return BWError::withMessage(BWError::kDomainCloud, code, msg);
}

inline BWError storageFailure(const BWError& cause) {
    return cloudError(kCloudErrorStorage,
                      QStringLiteral("服务存储失败：%1").arg(cause.localizedDescription()));
}

// Reads every row of `q` as a node into `out`: a storage failure, or none.
inline BWError readNodeRows(Query& q, NodeList& out) {
    while (q.next())
        out.append(readNodeRow(q));
    return q.error() ? storageFailure(q.error()) : BWError();
}

inline QString childPath(const QString& parentPath, const QString& name) {
    return parentPath == QLatin1String("/") ? QString(QLatin1Char('/') + name)
                                            : QString(parentPath + QLatin1Char('/') + name);
}

// Kind of content by file name: 1 image, 2 document, 3 video, 4 audio, 0 other.
int categoryOf(const QString& name);

} // namespace nubo::service_detail
