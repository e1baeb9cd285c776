#pragma once

#include "ui/share/KZShareListViewController.h"

// The links that no longer work (cancelled or expired): delete the selected records or all of
// them.
class KZShareInvalidFilesViewController : public KZShareListViewController {
    Q_OBJECT
public:
    explicit KZShareInvalidFilesViewController(QObject* parent = nullptr);

    const QList<ShareInfoPtr>& invalidShareList() const { return shareList(); }
    KZFilesToolBarItemPtr clearShareItem() const { return m_clearShareItem; }
    KZFilesToolBarItemPtr deleteShareItem() const { return m_deleteShareItem; }

    // Deletes the record of every link in the list, whatever is selected.
    void clearShare();
    // Deletes the records of the selected links.
    void deleteShare();

    void refreshToolBar() override;

protected:
    bool keepsStatus(int status) const override { return status != 0; }
    QList<Column> columns() const override;
    kit::View* cellForColumn(const QString& identifier, const ShareInfoPtr& share) override;
    void initToolBar() override;
    QList<KZFileOperateMenuItemPtr> getfileOperateMenuItems() override;
    void menuItemChosen(KZFileOperateItemType type) override;
    bool newMenuForEveryRightClick() const override { return true; }
    QString bottomBarText() const override;
    kit::AttributedString emptyDescription() const override;
    QMargins emptyInsets() const override { return QMargins(0, 0, 100, 0); }
    QString cancelSuccessText() const override { return QStringLiteral("删除成功"); }
    QString cancelFailureText() const override { return QStringLiteral("删除失败，请重试"); }

private:
    KZFilesToolBarItemPtr m_clearShareItem;
    KZFilesToolBarItemPtr m_deleteShareItem;
};
