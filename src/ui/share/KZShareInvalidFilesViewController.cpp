#include "ui/share/KZShareInvalidFilesViewController.h"

#include "cloud/KZSession.h"

namespace {
const QString kStatusColumn = QStringLiteral("TableColumnShareStatus");
} // namespace

KZShareInvalidFilesViewController::KZShareInvalidFilesViewController(QObject* parent)
    : KZShareListViewController(parent) {}

QList<KZShareListViewController::Column> KZShareInvalidFilesViewController::columns() const {
    return {{kNameColumn, QStringLiteral("文件名"), 260},
            {kDownloadColumn, QStringLiteral("下载次数"), 80},
            {kSizeColumn, QStringLiteral("大小"), 90},
            {kExpireColumn, QStringLiteral("有效期至"), 160},
            {kStatusColumn, QStringLiteral("状态"), 90}};
}

kit::View* KZShareInvalidFilesViewController::cellForColumn(const QString& id, const ShareInfoPtr& share) {
    if (id == kStatusColumn)
        return makeCell(QStringLiteral("TableCellShareDefault"), share->status_desc());
    return commonCell(id, share);
}

void KZShareInvalidFilesViewController::initToolBar() {
    toolBar()->setCustomBackgroundColor(Qt::white);
    m_clearShareItem = KZFilesToolBarItem::toolBarItemWithTitle(
        QStringLiteral("清空"), QStringLiteral("share_clear"), false, this, [this](auto*) { clearShare(); });
    m_deleteShareItem =
        KZFilesToolBarItem::toolBarItemWithTitle(QStringLiteral("删除"), QStringLiteral("share_delete"),
                                                 false, this, [this](auto*) { deleteShare(); });
    toolBar()->setLeftItems({m_clearShareItem, m_deleteShareItem});
}

void KZShareInvalidFilesViewController::refreshToolBar() {
    toolBar()->setEnable(!selectedShareInfos().isEmpty(), m_deleteShareItem);
    toolBar()->setEnable(!shareList().isEmpty(), m_clearShareItem);
}

QString KZShareInvalidFilesViewController::bottomBarText() const {
    const QList<ShareInfoPtr>& selected = selectedShareInfos();
    if (selected.isEmpty())
        return QStringLiteral("共%1个失效链接").arg(shareList().size());
    if (selected.size() == 1)
        return QStringLiteral("%1  状态：%2").arg(selected.first()->name(), selected.first()->status_desc());
    return QStringLiteral("已选中%1个失效链接").arg(selected.size());
}

kit::AttributedString KZShareInvalidFilesViewController::emptyDescription() const {
    return KZMessageSetModules::emptyInvalidShareListDescription();
}

QList<KZFileOperateMenuItemPtr> KZShareInvalidFilesViewController::getfileOperateMenuItems() {
    if (selectedShareInfos().isEmpty())
        return {};
    return {KZFileOperateMenuItem::itemWithTitle(QStringLiteral("删除"), KZFileOperateItemTypeDeleteShare)};
}

void KZShareInvalidFilesViewController::menuItemChosen(KZFileOperateItemType type) {
    if (type == KZFileOperateItemTypeDeleteShare)
        deleteShare();
}

void KZShareInvalidFilesViewController::clearShare() {
    closeFileOperateMenu();
    // Its own list of every lapsed link: the user's selection is left as it is, also when the
    // request fails.
    sendCancel(shareList(), KZSession::kShareDeleteTypeShortUrl, QStringLiteral("正在清除链接"));
}

void KZShareInvalidFilesViewController::deleteShare() {
    closeFileOperateMenu();
    sendCancel(selectedShareInfos(), KZSession::kShareDeleteTypeShortUrl, QStringLiteral("正在删除链接"));
}
