#include "ui/transport/KZTransportViewController.h"

#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "cloud/User.h"
#include "foundation/Dispatch.h"
#include "foundation/NotificationCenter.h"
#include "foundation/SafeAccess.h"
#include "shell/KZButton.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "ui/feedback/FeedbackWindowController.h"
#include "ui/transport/KZDownloadingFilesViewController.h"
#include "ui/transport/KZTransportAlert.h"
#include "ui/transport/KZTransportedFilesViewController.h"
#include "ui/transport/KZUploadingFilesViewController.h"

namespace {

constexpr double kBarHeight = 52;

// The page's root view: it lays the bar and the list out on every resize and closes the
// user-info pop-up on a click.
class KZTransportPageView : public kit::View {
public:
    std::function<void()> onLayout;
    void layout() override {
        if (onLayout)
            onLayout();
    }
    void mouseDown(const kit::Event& event) override {
        KZTransportAlert::closeUserInfoWindow();
        kit::View::mouseDown(event);
    }
};

// Fills its parent; the child lists' views live in it.
class KZFillView : public kit::View {
public:
    void layout() override {
        for (QObject* c : children())
            if (auto* v = qobject_cast<kit::View*>(c))
                v->setFrame(bounds());
    }
};

bool detailFlag(const char* key) {
    return nubo::safe::boolean(KZSessionProxy::shareSessionProxy()->userDetail(), QString::fromLatin1(key));
}

} // namespace

void KZTransportViewController::registerWithRouter() {
    KZInitializer init(kClassName,
                       [](const QVariantMap&) -> QObject* { return new KZTransportViewController; });
    init.setLongLife(true);
    KZRouter::shareInstance().registerEntityInitializer(init);
    FeedbackWindowController::registerWithRouter();
}

KZTransportViewController::KZTransportViewController(QObject* parent) : KZBaseViewController(parent) {}

KZTransportViewController::~KZTransportViewController() {
    nubo::NotificationCenter::defaultCenter().removeObserver(this);
    KZUploadMgrProxy::shareUploadMgrProxy()->removeUploadMgrProxyObserver(this);
    KZDownloadMgrProxy::shareDownloadMgrProxy()->removeDownloadMgrProxyObserver(this);
    // The children's views are inside this page's view; the children go first.
    delete m_uploadingFilesController;
    delete m_downloadingFilesController;
    delete m_transportedFilesController;
}

QString KZTransportViewController::titleForSegment(int index, qsizetype count) {
    static const QString plain[] = {QStringLiteral("正在上传"), QStringLiteral("正在下载"),
                                    QStringLiteral("传输完成")};
    if (index < 0 || index > 2)
        return QString();
    return count == 0 ? plain[index] : plain[index] + QStringLiteral("(%1)").arg(count);
}

void KZTransportViewController::loadView() {
    auto* page = new KZTransportPageView;
    page->onLayout = [this] { layoutPage(); };
    m_contentView = new kit::View(page);
    m_segmentedControl = new KZSegmentedControl(m_contentView);
    m_feedbackButton = new KZButton(m_contentView);
    m_centerView = new KZFillView;
    m_contentView->addSubview(m_centerView);
    setView(page);
}

void KZTransportViewController::viewDidLoad() {
    KZBaseViewController::viewDidLoad();
    view()->setCustomBackgroundColor(Qt::white);
    m_contentView->setCustomBackgroundColor(Qt::white);
    m_segmentedControl->setDelegate(this);
    for (int i = 0; i < 3; ++i)
        m_segmentedControl->insertTitle(titleForSegment(i, 0), i);
    m_feedbackButton->setTitle(QStringLiteral("意见反馈"));
    m_feedbackButton->setImage(
        kit::Image::named(QStringLiteral("transport_feedback")).scaledToFit(QSizeF(16, 16)).toImage());
    m_feedbackButton->setFont(KZStyle::fontOfSize(14.0));
    m_feedbackButton->setTitleNormalColor(KZStyle::tabbarTintColor());
    m_feedbackButton->setAction(this, [this](KZButton*) { feedbackClick(); });
    // The titles count the proxies' lists: read them once, then follow every report.
    KZUploadMgrProxy::shareUploadMgrProxy()->addUploadMgrProxyObserver(this);
    KZDownloadMgrProxy::shareDownloadMgrProxy()->addDownloadMgrProxyObserver(this);
    KZUploadMgrProxy::shareUploadMgrProxy()->getUnFinishedUploadJobOpenInfo();
    KZUploadMgrProxy::shareUploadMgrProxy()->getFinishedUploadJobOpenInfo();
    KZDownloadMgrProxy::shareDownloadMgrProxy()->getUnFinishedDownloadJobOpenInfo();
    KZDownloadMgrProxy::shareDownloadMgrProxy()->getFinishedDownloadJobOpenInfo();
    view()->setCustomBackgroundColor(Qt::transparent);
    refreshTitles();
}

void KZTransportViewController::layoutPage() {
    const QRectF bounds = view()->bounds();
    m_contentView->setFrame(bounds);
    m_feedbackButton->setFrame(QRectF(bounds.width() - 16 - 96, (kBarHeight - 28) / 2, 96, 28));
    // The tabs may take the bar up to the feedback button: their titles grow with the counts.
    m_segmentedControl->setFrame(
        QRectF(16, 6, std::max(0.0, m_feedbackButton->left() - 16 - 16), kBarHeight - 12));
    m_centerView->setFrame(
        QRectF(0, kBarHeight, bounds.width(), std::max(0.0, bounds.height() - kBarHeight)));
}

void KZTransportViewController::viewWillAppear() {
    KZBaseViewController::viewWillAppear();
    if (!m_observingCounts) {
        m_observingCounts = true;
        nubo::NotificationCenter::defaultCenter().addObserver(
            this, KZSession::kNotificationTransportJobCount,
            [this](const nubo::Notification&) { nubo::runOn(this, [this] { scheduleTitles(); }); });
    }
    auto busy = [](auto* proxy) {
        return proxy->getRunningJobCount() + proxy->getWaitingJobCount() + proxy->getPausedJobCount() +
               proxy->getErrorJobCount();
    };
    const int uploads = busy(KZUploadMgrProxy::shareUploadMgrProxy());
    const int downloads = busy(KZDownloadMgrProxy::shareDownloadMgrProxy());
    const int index = uploads != 0 ? 0 : downloads != 0 ? 1 : 2;
    if (m_segmentedControl->selectedSegmentIndex() == index)
        segmentedControlDidSelectSegmentIndex(m_segmentedControl, index);
    else
        m_segmentedControl->selectSegmentAtIndex(index);
    applyOverdueState();
}

void KZTransportViewController::viewWillDisappear() {
    KZBaseViewController::viewWillDisappear();
    KZWindowsManager::showMessageInBottomBarRightArea(QString());
}

void KZTransportViewController::applyOverdueState() {
    if (User::isTotallyOverdue()) {
        KZMessageSet::reloadMessageSet(view());
        KZMessageSet::messageSetViewBackgroundColor(view(), Qt::transparent);
        m_contentView->setAlphaValue(0.0);
    } else {
        KZMessageSet::reloadMessageSet(view());
        m_contentView->setAlphaValue(1.0);
    }
}

void KZTransportViewController::scheduleTitles() {
    if (m_titlesScheduled)
        return;
    m_titlesScheduled = true;
    nubo::runOn(this, [this] {
        m_titlesScheduled = false;
        refreshTitles();
    });
}

void KZTransportViewController::refreshTitles() {
    if (!m_segmentedControl)
        return;
    auto* up = KZUploadMgrProxy::shareUploadMgrProxy();
    auto* down = KZDownloadMgrProxy::shareDownloadMgrProxy();
    const qsizetype counts[] = {
        up->unFinishedUploadJobOpenInfos().size(), down->unFinishedDownloadJobOpenInfos().size(),
        up->finishedUploadJobOpenInfos().size() + down->finishedDownloadJobOpenInfos().size()};
    for (int i = 0; i < 3; ++i)
        m_segmentedControl->updateTitle(titleForSegment(i, counts[i]), i);
    m_segmentedControl->update();
}

KZUploadingFilesViewController* KZTransportViewController::uploadingFilesController() {
    if (!m_uploadingFilesController)
        m_uploadingFilesController = new KZUploadingFilesViewController;
    return m_uploadingFilesController;
}

KZDownloadingFilesViewController* KZTransportViewController::downloadingFilesController() {
    if (!m_downloadingFilesController)
        m_downloadingFilesController = new KZDownloadingFilesViewController;
    return m_downloadingFilesController;
}

KZTransportedFilesViewController* KZTransportViewController::transportedFilesController() {
    if (!m_transportedFilesController)
        m_transportedFilesController = new KZTransportedFilesViewController;
    return m_transportedFilesController;
}

void KZTransportViewController::segmentedControlDidSelectSegmentIndex(KZSegmentedControl*, int index) {
    KZTransportAlert::closeUserInfoWindow();
    if (index == 0)
        showChild(uploadingFilesController());
    else if (index == 1)
        showChild(downloadingFilesController());
    else if (index == 2)
        showChild(transportedFilesController());
}

void KZTransportViewController::showChild(kit::ViewController* child) {
    kit::View* next = child->view();
    if (m_selectedView && m_selectedView != next)
        m_selectedView->hide();
    m_selectedView = next;
    if (next->parentWidget() != m_centerView)
        m_centerView->addSubview(next);
    next->setFrame(m_centerView->bounds());
    // Showing the child's view makes the child appear, which loads its list.
    next->show();
}

void KZTransportViewController::feedbackClick() {
    KZTransportAlert::closeUserInfoWindow();
    if (KZTools::isNetworkPaused())
        return;
    KZWindowsManager& windows = KZWindowsManager::shareInstance();
    // One feedback window at a time: what the user began writing comes forward.
    if (KZBaseWindowController* open = windows.shownWindowOfClass(kFeedbackWindowClass))
        return windows.bringForward(open);
    if (auto* feedback =
            KZRouter::shareInstance().entityWithClass<KZBaseWindowController>(kFeedbackWindowClass))
        windows.showWindow(feedback);
}

bool KZTransportViewController::messageSetViewShouldDisplay(QWidget*) {
    return User::isTotallyOverdue();
}

kit::AttributedString KZTransportViewController::titleForMessageSetView(QWidget*) {
    if (!User::isTotallyOverdue())
        return {};
    if (detailFlag("is_admin"))
        return detailFlag("is_person") ? KZMessageSetModules::personalOverdueDescription()
                                       : KZMessageSetModules::adminOverdueDescription();
    return KZMessageSetModules::memberOverdueDescription();
}

kit::Image KZTransportViewController::imageForMessageSetView(QWidget*) {
    return User::isTotallyOverdue() ? KZMessageSetModules::overdueImage() : kit::Image();
}

QList<KZButton*> KZTransportViewController::buttonsForMessageSetView(QWidget*) {
    return User::isTotallyOverdue() && detailFlag("is_admin") ? KZMessageSetModules::overdueButtons()
                                                              : QList<KZButton*>();
}
