#include "ui/share/KZShareValidFilesViewController.h"

#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/DisplayText.h"
#include "kit/Pasteboard.h"
#include "shell/KZToast.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "ui/share/KZShareText.h"
#include "ui/share/KZShareWindowControler.h"

namespace {
const QString kPathColumn = QStringLiteral("TableColumnShareFilePath");
const QString kPasswordColumn = QStringLiteral("TableColumnSharePassword");
} // namespace

KZShareValidFilesViewController::KZShareValidFilesViewController(QObject* parent)
    : KZShareListViewController(parent) {}

void KZShareValidFilesViewController::viewDidLoad() {
    KZShareListViewController::viewDidLoad();
    tableView()->setDoubleAction(this, [this] { lookShare(); });
}

QList<KZShareListViewController::Column> KZShareValidFilesViewController::columns() const {
    return {
        {kNameColumn, QStringLiteral("文件名"), 240},     {kPathColumn, QStringLiteral("所在位置"), 130},
        {kSizeColumn, QStringLiteral("大小"), 80},        {kPasswordColumn, QStringLiteral("提取码"), 70},
        {kExpireColumn, QStringLiteral("有效期至"), 150}, {kDownloadColumn, QStringLiteral("下载次数"), 70}};
}

kit::View* KZShareValidFilesViewController::cellForColumn(const QString& id, const ShareInfoPtr& share) {
    if (id == kPathColumn) {
        auto* cell = static_cast<KZTableViewFilePathCellView*>(
            makeCell(QStringLiteral("TableCellShareFilePath"), nubo::text::fixedRootPath(share->fpath())));
        if (cell)
            cell->setDelegate(this);
        return cell;
    }
    if (id == kPasswordColumn)
        return makeCell(QStringLiteral("TableCellSharePassword"),
                        share->password().isEmpty() ? QStringLiteral("-") : share->password());
    return commonCell(id, share);
}

void KZShareValidFilesViewController::initToolBar() {
    toolBar()->setCustomBackgroundColor(Qt::white);
    m_lookShareItem = KZFilesToolBarItem::toolBarItemWithTitle(QStringLiteral("查看链接"),
                                                               QStringLiteral("share_lookshare"), false, this,
                                                               [this](auto*) { lookShare(); });
    m_cancelShareItem =
        KZFilesToolBarItem::toolBarItemWithTitle(QStringLiteral("取消分享"), QStringLiteral("share_cancel"),
                                                 false, this, [this](auto*) { cancelShare(); });
    m_cpLinkItem =
        KZFilesToolBarItem::toolBarItemWithTitle(QStringLiteral("复制链接"), QStringLiteral("share_copy"),
                                                 false, this, [this](auto*) { copyShare(); });
    toolBar()->setLeftItems({m_lookShareItem, m_cancelShareItem, m_cpLinkItem});
}

void KZShareValidFilesViewController::refreshToolBar() {
    const qsizetype n = selectedShareInfos().size();
    toolBar()->setEnable(n == 1, m_lookShareItem);
    toolBar()->setEnable(n >= 1, m_cancelShareItem);
    toolBar()->setEnable(n == 1, m_cpLinkItem);
}

QString KZShareValidFilesViewController::bottomBarText() const {
    const QList<ShareInfoPtr>& selected = selectedShareInfos();
    if (selected.isEmpty())
        return QStringLiteral("共%1个有效链接").arg(shareList().size());
    if (selected.size() == 1)
        return QStringLiteral("%1  有效期至：%2")
            .arg(selected.first()->name(), KZShareText::expireText(selected.first()->expire()));
    return QStringLiteral("已选中%1个有效链接").arg(selected.size());
}

kit::AttributedString KZShareValidFilesViewController::emptyDescription() const {
    return KZMessageSetModules::emptyShareListDescription();
}

// ---- menus

QList<KZFileOperateMenuItemPtr> KZShareValidFilesViewController::getfileOperateMenuItems() {
    const qsizetype n = selectedShareInfos().size();
    QList<KZFileOperateMenuItemPtr> items;
    if (n == 1) {
        items << KZFileOperateMenuItem::itemWithTitle(QStringLiteral("查看链接"),
                                                      KZFileOperateItemTypeViewShare);
        items << KZFileOperateMenuItem::itemWithTitle(QStringLiteral("复制链接"),
                                                      KZFileOperateItemTypeCopyLink);
    }
    if (n >= 1)
        items << KZFileOperateMenuItem::itemWithTitle(QStringLiteral("取消分享"),
                                                      KZFileOperateItemTypeCancelShare);
    items << KZFileOperateMenuItem::itemWithTitle(QStringLiteral("打开所在位置"),
                                                  KZFileOperateItemTypeOpenLocation);
    return items;
}

void KZShareValidFilesViewController::menuItemChosen(KZFileOperateItemType type) {
    switch (type) {
    case KZFileOperateItemTypeViewShare:
        lookShare();
        break;
    case KZFileOperateItemTypeCancelShare:
        cancelShare();
        break;
    case KZFileOperateItemTypeCopyLink:
        copyShare();
        break;
    case KZFileOperateItemTypeOpenLocation:
        actionMenuItemLocationShare();
        break;
    default:
        break;
    }
}

// ---- actions

void KZShareValidFilesViewController::lookShare() {
    closeFileOperateMenu();
    if (selectedShareInfos().size() != 1)
        return;
    KZSessionProxy::shareSessionProxy()->requestShareFiles(
        selectedShareInfos(), this, {{KZSession::kShareTypeKey, KZSession::kShareTypeSid}});
}

void KZShareValidFilesViewController::kzSessionRequestShareFiles(KZAbstractSession*, qint64,
                                                                 const ShareInfoPtr& shareInfo,
                                                                 const QVariantMap&) {
    if (!shareInfo)
        return;
    presentWindowController(new KZShareWindowControler(KZShareWindowControler::kClassName, shareInfo));
}

void KZShareValidFilesViewController::kzSessionRequestShareFilesFail(KZAbstractSession*, qint64,
                                                                     const QVariantMap&,
                                                                     const BWError& error) {
    KZToast::showToastWithErrorMessageAfterDelay(
        view(), KZShareText::errorText(error, QStringLiteral("分享失败，请重试")), 0.1);
}

void KZShareValidFilesViewController::cancelShare() {
    closeFileOperateMenu();
    sendCancel(selectedShareInfos(), KZSession::kShareCancelTypeShortUrl, QStringLiteral("正在取消分享"));
}

void KZShareValidFilesViewController::copyShare() {
    closeFileOperateMenu();
    if (selectedShareInfos().size() != 1)
        return;
    kit::Pasteboard& pasteboard = kit::Pasteboard::general();
    pasteboard.clearContents();
    if (pasteboard.setString(KZShareText::linkText(*selectedShareInfos().first())))
        KZToast::showToastWithSucessMessage(view(), QStringLiteral("复制成功"));
    else
        KZToast::showToastWithErrorMessage(view(), QStringLiteral("复制失败"));
}

void KZShareValidFilesViewController::didPressCmdC() {
    copyShare();
}

QString KZShareValidFilesViewController::locationOf(const ShareInfo& share) {
    QString folder = share.fpath().isEmpty() ? QStringLiteral("/") : share.fpath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + share.name();
}

void KZShareValidFilesViewController::openLocation(const ShareInfoPtr& share) {
    if (share)
        KZWindowsManager::shareInstance().setExpectFilePath(locationOf(*share));
}

void KZShareValidFilesViewController::actionMenuItemLocationShare() {
    closeFileOperateMenu();
    if (selectedShareInfos().size() == 1)
        openLocation(selectedShareInfos().first());
}

void KZShareValidFilesViewController::didTableViewFilePathCellViewClicked(KZTableViewFilePathCellView* cell) {
    const int row = tableView()->rowForView(cell);
    if (row >= 0 && row < shareList().size())
        openLocation(shareList().at(row));
}
