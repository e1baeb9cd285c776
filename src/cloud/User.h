#pragma once

#include <QVariantMap>

// The interface's view of the signed-in user's plan, read from the session's user detail.
//
// The plan rule: "is_vip" true means the account is on a paid plan; "expire_status" says where
// that plan stands: 0 in force, 1 lapsed while the data is still kept ("expire_day" days), 2 lapsed
// and past that grace. An account on a paid plan that lapsed must pay before changing anything;
// once past the grace its pages are covered entirely. A free account never owes anything.
class User {
public:
    static bool isNeedPay();
    static bool isTotallyOverdue();

    static bool isNeedPay(const QVariantMap& userDetail);
    static bool isTotallyOverdue(const QVariantMap& userDetail);
};
