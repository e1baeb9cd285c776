#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <memory>

// What an entry of an operation menu or pop-up does. The values are stable: callers switch
// on them and the pop-ups mark entries by them.
enum KZFileOperateItemType : quint64 {
    KZFileOperateItemTypeOpen = 0,
    KZFileOperateItemTypeCopyTo = 1,
    KZFileOperateItemTypePaste = 2,
    KZFileOperateItemTypeMoveTo = 3,
    KZFileOperateItemTypeRename = 4,
    KZFileOperateItemTypeShare = 5,
    KZFileOperateItemTypeViewShare = 6,
    KZFileOperateItemTypeCancelShare = 7,
    KZFileOperateItemTypeCopyLink = 8,
    KZFileOperateItemTypeDeleteShare = 9,
    KZFileOperateItemTypeDelete = 10,
    KZFileOperateItemTypeHistoryVersion = 11,
    KZFileOperateItemTypeNewFolder = 12,
    KZFileOperateItemTypeOpenLocation = 13,
    KZFileOperateItemTypeUpload = 14,
    KZFileOperateItemTypeRefresh = 15,
    KZFileOperateItemTypeDisplayMode = 16, // opens the display-mode pop-up
    KZFileOperateItemTypeSort = 17,        // opens the sort pop-up
    KZFileOperateItemTypeDownload = 18,
    KZFileOperateItemTypeSortByName = 19,
    KZFileOperateItemTypeSortByTime = 20,
    KZFileOperateItemTypeAscending = 21,
    KZFileOperateItemTypeDescending = 22,
    KZFileOperateItemTypeListStyle = 23,
    KZFileOperateItemTypeThumbnailStyle = 24,
    KZFileOperateItemTypeSeparator = 25,
};

class KZFileOperateMenuItem;
using KZFileOperateMenuItemPtr = std::shared_ptr<KZFileOperateMenuItem>;

// One entry of an operation menu or pop-up. `selected` is the check mark of the pop-ups; the
// operation menu ignores it.
class KZFileOperateMenuItem {
public:
    static constexpr double kRowHeight = 38.0;
    static constexpr double kSeparatorHeight = 5.0;
    // The padding above and below the rows of a menu window, together.
    static constexpr double kVerticalPadding = 16.0;

    KZFileOperateMenuItem() = default;
    KZFileOperateMenuItem(QString title, KZFileOperateItemType type)
        : m_title(std::move(title)), m_type(type) {}

    static KZFileOperateMenuItemPtr itemWithTitle(const QString& title, KZFileOperateItemType type);
    static KZFileOperateMenuItemPtr separatorItem();

    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    KZFileOperateItemType type() const { return m_type; }
    void setType(KZFileOperateItemType type) { m_type = type; }
    bool selected() const { return m_selected; }
    void setSelected(bool selected) { m_selected = selected; }
    bool isSeparator() const { return m_type == KZFileOperateItemTypeSeparator; }

    // The height of a row showing an entry of this type.
    static double rowHeightForType(quint64 type);
    // The height of a menu or pop-up listing these entries, padding included.
    static int menuHeightForItems(const QList<KZFileOperateMenuItemPtr>& items);

private:
    QString m_title;
    KZFileOperateItemType m_type = KZFileOperateItemTypeOpen;
    bool m_selected = false;
};
