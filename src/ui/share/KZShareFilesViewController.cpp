#include "ui/share/KZShareFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "cloud/User.h"
#include "foundation/Dispatch.h"
#include "foundation/NotificationCenter.h"
#include "foundation/SafeAccess.h"
#include "shell/KZRouter.h"
#include "shell/KZWindowsManager.h"
#include "ui/share/KZShareText.h"

namespace {
class SharePageView : public kit::View {
public:
    std::function<void()> onLayout;
    void layout() override {
        if (onLayout)
            onLayout();
    }
};
} // namespace

void KZShareFilesViewController::registerWithRouter() {
    KZInitializer init(kClassName,
                       [](const QVariantMap&) -> QObject* { return new KZShareFilesViewController; });
    init.setLongLife(true);
    KZRouter::shareInstance().registerEntityInitializer(init);
}

KZShareFilesViewController::KZShareFilesViewController(QObject* parent)
    : KZBaseViewController(parent), m_validShareVC(new KZShareValidFilesViewController(this)),
      m_invalidShareVC(new KZShareInvalidFilesViewController(this)) {}

KZShareFilesViewController::~KZShareFilesViewController() {
    KZShortcutKeysManager::shareInstance().removeShortcutKeysObserver(this);
    nubo::NotificationCenter::defaultCenter().removeObserver(this);
}

void KZShareFilesViewController::loadView() {
    auto* page = new SharePageView;
    page->onLayout = [this] { layoutPage(); };
    m_contentView = new kit::View;
    m_segmentControl = new KZSegmentedControl;
    m_tabView = new kit::View;
    page->addSubview(m_contentView);
    m_contentView->addSubview(m_segmentControl);
    m_contentView->addSubview(m_tabView);
    setView(page);
}

void KZShareFilesViewController::viewDidLoad() {
    KZBaseViewController::viewDidLoad();
    view()->setCustomBackgroundColor(Qt::transparent);
    initSegmentControl();
}

void KZShareFilesViewController::initSegmentControl() {
    m_segmentControl->insertTitle(QStringLiteral("有效链接"), 0);
    m_segmentControl->insertTitle(QStringLiteral("失效链接"), 1);
    m_segmentControl->setDelegate(this);
    m_tabView->addSubview(m_validShareVC->view());
    m_tabView->addSubview(m_invalidShareVC->view());
    m_invalidShareVC->view()->hide();
}

void KZShareFilesViewController::layoutPage() {
    const QRectF bounds = view()->bounds();
    m_contentView->setFrame(bounds);
    m_segmentControl->setFrame(QRectF(16, 0, std::max(0.0, bounds.width() - 32), kSegmentHeight));
    m_tabView->setFrame(
        QRectF(0, kSegmentHeight, bounds.width(), std::max(0.0, bounds.height() - kSegmentHeight)));
    for (KZShareListViewController* list : {static_cast<KZShareListViewController*>(m_validShareVC),
                                            static_cast<KZShareListViewController*>(m_invalidShareVC)})
        list->view()->setFrame(m_tabView->bounds());
}

KZShareListViewController* KZShareFilesViewController::selectedList() const {
    return m_selectedTab == 0 ? static_cast<KZShareListViewController*>(m_validShareVC) : m_invalidShareVC;
}

void KZShareFilesViewController::selectTabViewItemAtIndex(int index) {
    view();
    m_selectedTab = index == 0 ? 0 : 1;
    // The list that goes first hears that it disappears, then the other one appears.
    m_invalidShareVC->view()->setVisible(m_selectedTab == 1);
    m_validShareVC->view()->setVisible(m_selectedTab == 0);
    if (m_selectingByProgram)
        return;
    m_selectingByProgram = true;
    m_segmentControl->selectSegmentAtIndex(m_selectedTab);
    m_selectingByProgram = false;
}

void KZShareFilesViewController::segmentedControlDidSelectSegmentIndex(KZSegmentedControl*, int index) {
    if (m_selectingByProgram)
        return;
    m_selectingByProgram = true;
    selectTabViewItemAtIndex(index);
    m_selectingByProgram = false;
    if (index == 0) {
        m_invalidShareVC->closeFileOperateMenu();
        m_validShareVC->requestShareList();
    } else {
        m_validShareVC->closeFileOperateMenu();
        m_invalidShareVC->requestShareList();
    }
}

// ---- lifecycle

void KZShareFilesViewController::viewWillAppear() {
    selectTabViewItemAtIndex(0);
    m_validShareVC->requestShareList();
    KZMessageSet::reloadMessageSet(view());
    if (User::isTotallyOverdue()) {
        m_contentView->setAlphaValue(0.0);
        KZMessageSet::messageSetViewBackgroundColor(view(), Qt::transparent);
    } else {
        m_contentView->setAlphaValue(1.0);
    }
}

void KZShareFilesViewController::viewDidAppear() {
    KZShortcutKeysManager::shareInstance().addShortcutKeysObserver(this);
    nubo::NotificationCenter::defaultCenter().addObserver(this, KZShareText::kShareFilesReloadNotification,
                                                          [this](const nubo::Notification&) {
                                                              // The share window posts on the main
                                                              // thread; any other poster is hopped.
                                                              if (nubo::isMainThread())
                                                                  return onShareFilesReload();
                                                              QPointer<KZShareFilesViewController> self(this);
                                                              nubo::runOn(this, [self] {
                                                                  if (self)
                                                                      self->onShareFilesReload();
                                                              });
                                                          });
}

void KZShareFilesViewController::viewWillDisappear() {
    KZShortcutKeysManager::shareInstance().removeShortcutKeysObserver(this);
    nubo::NotificationCenter::defaultCenter().removeObserver(this,
                                                             KZShareText::kShareFilesReloadNotification);
    // The bar's text is the lists'; the page that comes next may have none of its own to show.
    KZWindowsManager::showMessageInBottomBarRightArea(QString());
}

void KZShareFilesViewController::didPressCmdR() {
    selectedList()->requestShareList();
}

void KZShareFilesViewController::onShareFilesReload() {
    if (isViewVisible())
        selectedList()->requestShareList();
}

void KZShareFilesViewController::resizeContent() {
    m_validShareVC->resizeContent();
    m_invalidShareVC->resizeContent();
}

// ---- plan notice

bool KZShareFilesViewController::messageSetViewShouldDisplay(QWidget*) {
    return User::isTotallyOverdue();
}

bool KZShareFilesViewController::messageSetViewShouldInterceptionEvents(QWidget*) {
    return User::isTotallyOverdue();
}

kit::AttributedString KZShareFilesViewController::titleForMessageSetView(QWidget*) {
    return User::isTotallyOverdue() ? KZShareListViewController::overdueTitle() : kit::AttributedString();
}

kit::AttributedString KZShareFilesViewController::descriptionForMessageSetView(QWidget*) {
    return User::isTotallyOverdue() ? kit::AttributedString()
                                    : KZMessageSetModules::emptyShareListDescription();
}

kit::Image KZShareFilesViewController::imageForMessageSetView(QWidget*) {
    return User::isTotallyOverdue() ? KZMessageSetModules::overdueImage()
                                    : KZMessageSetModules::emptyListImage();
}

QList<KZButton*> KZShareFilesViewController::buttonsForMessageSetView(QWidget*) {
    if (User::isTotallyOverdue() &&
        nubo::safe::boolean(KZSessionProxy::shareSessionProxy()->userDetail(), QStringLiteral("is_admin")))
        return KZMessageSetModules::overdueButtons();
    return {};
}
