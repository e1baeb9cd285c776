#include "ui/common/KZFileOperateMenuItem.h"

KZFileOperateMenuItemPtr KZFileOperateMenuItem::itemWithTitle(const QString& title,
                                                              KZFileOperateItemType type) {
    return std::make_shared<KZFileOperateMenuItem>(title, type);
}

KZFileOperateMenuItemPtr KZFileOperateMenuItem::separatorItem() {
    return std::make_shared<KZFileOperateMenuItem>(QString(), KZFileOperateItemTypeSeparator);
}

double KZFileOperateMenuItem::rowHeightForType(quint64 type) {
    return type == KZFileOperateItemTypeSeparator ? kSeparatorHeight : kRowHeight;
}

int KZFileOperateMenuItem::menuHeightForItems(const QList<KZFileOperateMenuItemPtr>& items) {
    double h = kVerticalPadding;
    for (const KZFileOperateMenuItemPtr& item : items)
        h += rowHeightForType(item ? quint64(item->type()) : quint64(KZFileOperateItemTypeOpen));
    return int(h);
}
