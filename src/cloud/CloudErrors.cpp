#include "cloud/CloudErrors.h"

namespace nubo::cloudError {

BWError fileListFailed() {
    return BWError::application(kFileListFailed, QStringLiteral("读取文件失败，请重试"));
}

BWError notSignedIn() {
    return BWError::application(kNotSignedIn, QStringLiteral("请先登录"));
}

BWError badArgument(const QString& errmsg) {
    return BWError::application(kBadArgument, errmsg);
}

BWError openUrlFailed() {
    return BWError::application(kOpenUrlFailed, QStringLiteral("打开网页失败，请重试"));
}

} // namespace nubo::cloudError
