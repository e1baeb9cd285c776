#include "ui/share/KZShareExpireItem.h"

QList<KZShareExpireItemPtr> KZShareExpireItem::getItems() {
    return {std::make_shared<KZShareExpireItem>(QStringLiteral("1天"), 1),
            std::make_shared<KZShareExpireItem>(QStringLiteral("7天"), 7),
            std::make_shared<KZShareExpireItem>(QStringLiteral("不限"), 0)};
}
