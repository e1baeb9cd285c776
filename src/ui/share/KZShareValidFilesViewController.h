#pragma once

#include "ui/share/KZShareListViewController.h"

// The working links (status 0): view a link in its window, cancel links, copy a link with its
// code, and open the shared item's folder in the file page.
class KZShareValidFilesViewController : public KZShareListViewController,
                                        public KZRequestShareFilesDelegate,
                                        public KZTableViewFilePathCellViewDelegate {
    Q_OBJECT
public:
    explicit KZShareValidFilesViewController(QObject* parent = nullptr);

    const QList<ShareInfoPtr>& validShareList() const { return shareList(); }
    KZFilesToolBarItemPtr lookShareItem() const { return m_lookShareItem; }
    KZFilesToolBarItemPtr cancelShareItem() const { return m_cancelShareItem; }
    KZFilesToolBarItemPtr cpLinkItem() const { return m_cpLinkItem; }

    // Actions on the selection; each first closes the pop-ups.
    void lookShare();
    void cancelShare();
    void copyShare();
    void actionMenuItemLocationShare();
    // The cloud path of the shared item: its folder and its name.
    static QString locationOf(const ShareInfo& share);

    void refreshToolBar() override;
    void didPressCmdC() override;
    void didTableViewFilePathCellViewClicked(KZTableViewFilePathCellView* cell) override;
    void kzSessionRequestShareFiles(KZAbstractSession*, qint64, const ShareInfoPtr& shareInfo,
                                    const QVariantMap&) override;
    void kzSessionRequestShareFilesFail(KZAbstractSession*, qint64, const QVariantMap&,
                                        const BWError& error) override;

protected:
    void viewDidLoad() override;
    bool keepsStatus(int status) const override { return status == 0; }
    QList<Column> columns() const override;
    kit::View* cellForColumn(const QString& identifier, const ShareInfoPtr& share) override;
    void initToolBar() override;
    QList<KZFileOperateMenuItemPtr> getfileOperateMenuItems() override;
    void menuItemChosen(KZFileOperateItemType type) override;
    QString bottomBarText() const override;
    kit::AttributedString emptyDescription() const override;
    QString cancelSuccessText() const override { return QStringLiteral("取消成功"); }
    QString cancelFailureText() const override { return QStringLiteral("取消失败，请重试"); }

private:
    void openLocation(const ShareInfoPtr& share);

    KZFilesToolBarItemPtr m_lookShareItem;
    KZFilesToolBarItemPtr m_cancelShareItem;
    KZFilesToolBarItemPtr m_cpLinkItem;
};
