#include "transfer/TransferErrors.h"

#include "foundation/DisplayText.h"

#include <cerrno>

namespace nubo::transfer {

namespace {

QString textFor(int code) {
    switch (code) {
    case kErrLocalRead:
        return QStringLiteral("读取本地文件失败");
    case kErrLocalWrite:
        return QStringLiteral("写入本地文件失败");
    case kErrLocalChanged:
        return QStringLiteral("本地文件已被修改");
    case kErrUnsafeName:
        return QStringLiteral("文件名不合法，已拒绝保存");
    case kErrUnsafeTarget:
        return QStringLiteral("目标位置不是普通文件，已拒绝写入");
    case kErrBlockHash:
        return QStringLiteral("下载的数据校验失败");
    case kErrCancelled:
        return QStringLiteral("任务已取消");
    case kErrNotSignedIn:
        return QStringLiteral("尚未登录");
    case kErrSourceMissing:
        return QStringLiteral("文件不存在");
    default:
        return QStringLiteral("传输失败");
    }
}

} // namespace

BWError transferError(int code, const QString& detail) {
    QVariantMap info{{BWError::kErrMsgKey, textFor(code)}};
    if (!detail.isEmpty())
        info.insert(QStringLiteral("path"), detail);
    return BWError(BWError::kDomainApplication, code, info);
}

BWError localWriteError(const QString& path, int err) {
    // Said for a write: what is missing is the folder written into, what is refused is writing.
    QString cause;
    if (err == EACCES || err == EPERM)
        cause = QStringLiteral("没有写入权限");
    else if (err == ENOENT)
        cause = QStringLiteral("文件夹不存在");
    else
        cause = text::systemErrorCause(err);
    BWError e = transferError(kErrLocalWrite, path);
    if (cause.isEmpty())
        return e;
    QVariantMap info = e.userInfo();
    info.insert(BWError::kErrMsgKey, QString(textFor(kErrLocalWrite) + QStringLiteral("：") + cause));
    return BWError(e.domain(), e.code(), info);
}

BWError conflictError(int code, const QString& path) {
    return BWError::withMessage(BWError::kDomainApplication, code, path);
}

bool isConflictCode(int code) {
    return code <= -121 && code >= -125;
}

} // namespace nubo::transfer
