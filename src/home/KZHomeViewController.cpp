#include "KZHomeViewController.h"

#include "KZHomeToolbarController.h"
#include "kit/View.h"
#include "kit/ViewController.h"
#include "kit/Window.h"
#include "shell/KZBaseViewController.h"
#include "shell/KZMainMenuManager.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"

#include <QMenuBar>

namespace {
// The content of the home window: menu bar on top, navigator and page side by side, bottom bar.
class HomeContentView : public kit::View {
public:
    QMenuBar* menuBar = nullptr;
    kit::View* navigator = nullptr;
    kit::View* pageArea = nullptr;
    kit::View* bottomBar = nullptr;
    void layout() override {
        const qreal w = width(), h = height();
        const qreal menuH = menuBar ? menuBar->sizeHint().height() : 0;
        const qreal barH = bottomBar ? bottomBar->height() : 0;
        if (menuBar)
            menuBar->setGeometry(0, 0, int(w), int(menuH));
        const qreal navW = navigator ? navigator->width() : 0;
        if (navigator)
            navigator->setFrame(QRectF(0, menuH, navW, h - menuH - barH));
        if (pageArea)
            pageArea->setFrame(QRectF(navW, menuH, w - navW, h - menuH - barH));
        if (bottomBar)
            bottomBar->setFrame(QRectF(0, h - barH, w, barH));
    }
};

// Lays the visible page over the whole page area.
class PageAreaView : public kit::View {
public:
    void layout() override {
        for (QObject* c : children())
            if (auto* w = qobject_cast<QWidget*>(c); w && w->isWindow() == false)
                w->setGeometry(rect());
    }
};
} // namespace

void KZHomeViewController::registerWithRouter() {
    KZInitializer home(kClassName, [](const QVariantMap&) { return new KZHomeViewController; });
    home.setLongLife(true);
    KZRouter::shareInstance().registerEntityInitializer(home);
    KZHomeToolbarController::registerWithRouter();
}

KZHomeViewController::KZHomeViewController(QObject* parent)
    : KZBaseWindowController(QStringLiteral("KZHomeViewController"), parent), m_titles{kFilesTitle,
                                                                                       kShareTitle,
                                                                                       kTransportTitle} {}

KZHomeViewController::~KZHomeViewController() {
    // The window (with the pages' views in it) goes with the base; the pages go first.
    qDeleteAll(m_ownedPages);
}

void KZHomeViewController::loadWindow() {
    auto* w = new kit::Window;
    w->setWindowTitle(QStringLiteral("Nubo"));
    w->setMinimumSize(800, 520);
    w->resize(1080, 700);
    auto* content = new HomeContentView;
    content->setCustomBackgroundColor(Qt::white);
    w->setContentView(content);
    setWindow(w);
}

void KZHomeViewController::windowDidLoad() {
    KZBaseWindowController::windowDidLoad();
    auto* content = static_cast<HomeContentView*>(window()->contentView());
    content->menuBar = KZMainMenuManager::shareInstance().makeMenuBar(content);
    m_navigator = new KZHomeNavigator(content);
    content->navigator = m_navigator;
    m_pageArea = new PageAreaView;
    content->addSubview(m_pageArea);
    content->pageArea = m_pageArea;
    m_toolbar = KZRouter::shareInstance().entityWithClass<KZHomeToolbarController>(
        KZHomeToolbarController::kClassName);
    if (!m_toolbar) // not registered: the window still has its bar
        m_toolbar = new KZHomeToolbarController(this);
    content->addSubview(m_toolbar->view());
    content->bottomBar = m_toolbar->view();
    content->layout();

    const QStringList images{QStringLiteral("home_nav_files"), QStringLiteral("home_nav_share"),
                             QStringLiteral("home_nav_transport")};
    for (int i = 0; i < m_titles.size(); ++i)
        m_navigator->addItem(m_titles[i], images.value(i));
    initControllers();
    m_navigator->setDelegate(this);
    m_navigator->selectIndex(0);
}

void KZHomeViewController::initControllers() {
    if (!m_viewControllers.isEmpty())
        return;
    const QStringList classes{kFilesClass, kShareClass, kTransportClass};
    KZRouter& router = KZRouter::shareInstance();
    for (int i = 0; i < m_titles.size(); ++i) {
        kit::ViewController* page = router.entityWithClass<kit::ViewController>(classes[i]);
        if (!page) // no page of that class is registered: an empty page stands in
            page = new KZBaseViewController;
        // A page the router keeps is the router's; any other is the window's.
        if (!router.isLongLife(classes[i]) || !router.hasEntity(classes[i]))
            m_ownedPages.append(page);
        m_viewControllers.insert(m_titles[i], page);
    }
}

kit::ViewController* KZHomeViewController::currentVisibleViewController() const {
    if (m_visible < 0 || m_visible >= m_titles.size())
        return nullptr;
    return m_viewControllers.value(m_titles[m_visible]);
}

void KZHomeViewController::showPage(int index) {
    if (!m_pageArea)
        return;
    kit::ViewController* next = m_viewControllers.value(m_titles.value(index));
    if (!next)
        return;
    kit::ViewController* old = currentVisibleViewController();
    m_visible = index;
    if (old && old != next && old->isViewLoaded())
        old->view()->hide();
    kit::View* v = next->view();
    if (v->parentWidget() != m_pageArea)
        m_pageArea->addSubview(v);
    v->setGeometry(m_pageArea->rect());
    v->show();
}

void KZHomeViewController::homeNavigatorDidSelectIndex(KZHomeNavigator*, int index) {
    showPage(index);
}

void KZHomeViewController::homeNavigatorDidDoubleClick(KZHomeNavigator*) {
    if (auto* files = dynamic_cast<KZFilesPage*>(currentVisibleViewController());
        files && currentVisibleViewController() == m_viewControllers.value(kFilesTitle))
        files->openDirToRoot();
}

void KZHomeViewController::setExpectFilePath(const QString& path) {
    window();
    // The page holds the path before it is shown, so that its appearing opens the file's folder.
    if (auto* files = dynamic_cast<KZFilesPage*>(m_viewControllers.value(kFilesTitle)))
        files->setExpectFilePath(path);
    m_navigator->selectIndex(0);
}

void KZHomeViewController::windowDidResize(kit::Window*) {
    if (auto* files = dynamic_cast<KZFilesPage*>(m_viewControllers.value(kFilesTitle)))
        files->resizeContent();
}
