#include "foundation/BWError.h"

BWError::BWError(QString domain, int code, QVariantMap userInfo)
    : m_domain(std::move(domain)), m_code(code), m_userInfo(std::move(userInfo)) {}

BWError BWError::application(int code, const QString& errmsg) {
    return withMessage(kDomainApplication, code, errmsg);
}

BWError BWError::withMessage(const QString& domain, int code, const QString& errmsg) {
    return BWError(domain, code, {{kErrMsgKey, errmsg}});
}

QString BWError::localizedDescription() const {
    const QString msg = m_userInfo.value(kErrMsgKey).toString();
    if (!msg.isEmpty())
        return msg;
    if (m_domain == kDomainNetwork)
        return QStringLiteral("网络连接失败，请检查网络");
    if (isNull())
        return {};
    return QStringLiteral("操作失败，请重试(%1)").arg(m_code);
}
