#include "cloud/User.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/SafeAccess.h"

using namespace nubo;

bool User::isNeedPay(const QVariantMap& userDetail) {
    return safe::boolean(userDetail, QStringLiteral("is_vip")) &&
           safe::int64(userDetail, QStringLiteral("expire_status")) >= 1;
}

bool User::isTotallyOverdue(const QVariantMap& userDetail) {
    return safe::boolean(userDetail, QStringLiteral("is_vip")) &&
           safe::int64(userDetail, QStringLiteral("expire_status")) >= 2;
}

bool User::isNeedPay() {
    return isNeedPay(KZSessionProxy::shareSessionProxy()->userDetail());
}

bool User::isTotallyOverdue() {
    return isTotallyOverdue(KZSessionProxy::shareSessionProxy()->userDetail());
}
