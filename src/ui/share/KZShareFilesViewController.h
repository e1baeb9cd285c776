#pragma once

#include "shell/KZBaseViewController.h"
#include "shell/KZMessageSet.h"
#include "shell/KZSegmentedControl.h"
#include "shell/KZShortcutKeysManager.h"
#include "ui/share/KZShareInvalidFilesViewController.h"
#include "ui/share/KZShareValidFilesViewController.h"

#include <QPointer>

// The "分享" page of the home window: the working and the lapsed links under two segments. It
// decides when a list fetches again: when the page comes on screen (back on the first tab), when
// a tab is chosen, on Ctrl+R and on "ShareFilesReloadNotification" while it is shown. A lapsed
// plan covers it with the plan notice.
class KZShareFilesViewController : public KZBaseViewController,
                                   public KZSegmentedControlDelegate,
                                   public KZShortcutKeysDelegate,
                                   public KZMessageSetViewDelegate {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZShareFilesViewController");
    static constexpr double kSegmentHeight = 44;

    // Registers the page with the router as a long-life page.
    static void registerWithRouter();

    explicit KZShareFilesViewController(QObject* parent = nullptr);
    ~KZShareFilesViewController() override;

    kit::View* contentView() const { return m_contentView; }
    KZSegmentedControl* segmentControl() const { return m_segmentControl; }
    KZShareValidFilesViewController* validShareVC() const { return m_validShareVC; }
    KZShareInvalidFilesViewController* invalidShareVC() const { return m_invalidShareVC; }
    // The tab shown: 0 the working links, 1 the lapsed ones.
    int selectedTabIndex() const { return m_selectedTab; }
    void selectTabViewItemAtIndex(int index);

    void resizeContent();
    void onShareFilesReload();

    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;

    void segmentedControlDidSelectSegmentIndex(KZSegmentedControl* control, int index) override;
    void didPressCmdR() override;

    bool messageSetViewShouldDisplay(QWidget*) override;
    bool messageSetViewShouldInterceptionEvents(QWidget*) override;
    QWidget* containerViewForMessageSetView(QWidget*) override { return view(); }
    kit::AttributedString titleForMessageSetView(QWidget*) override;
    kit::AttributedString descriptionForMessageSetView(QWidget*) override;
    kit::Image imageForMessageSetView(QWidget*) override;
    QList<KZButton*> buttonsForMessageSetView(QWidget*) override;

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    void initSegmentControl();
    KZShareListViewController* selectedList() const;
    void layoutPage();

    kit::View* m_contentView = nullptr;
    KZSegmentedControl* m_segmentControl = nullptr;
    kit::View* m_tabView = nullptr;
    KZShareValidFilesViewController* m_validShareVC = nullptr;
    KZShareInvalidFilesViewController* m_invalidShareVC = nullptr;
    int m_selectedTab = 0;
    bool m_selectingByProgram = false;
};
