#pragma once

#include "KZHomeNavigator.h"
#include "shell/KZBaseWindowController.h"
#include "shell/KZHomePages.h"

#include <QMap>
#include <QPointer>

#include "KZHomeToolbarController.h"
namespace kit {
class View;
class ViewController;
} // namespace kit

// The home window: the navigator on the left, the selected page beside it, the bottom bar under
// both. The pages are made once, through the router by class name, and live as long as the window.
class KZHomeViewController : public KZBaseWindowController,
                             public KZHomeWindow,
                             public KZHomeNavigatorDelegate {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZHomeViewController");
    static inline const QString kFilesTitle = QStringLiteral("文件");
    static inline const QString kShareTitle = QStringLiteral("分享");
    static inline const QString kTransportTitle = QStringLiteral("传输");
    static inline const QString kFilesClass = QStringLiteral("KZFilesViewController");
    static inline const QString kShareClass = QStringLiteral("KZShareFilesViewController");
    static inline const QString kTransportClass = QStringLiteral("KZTransportViewController");

    // Registers the home window (long life) and its bottom bar with the router.
    static void registerWithRouter();

    explicit KZHomeViewController(QObject* parent = nullptr);
    ~KZHomeViewController() override;

    // Makes the pages once (an unregistered page is an empty one).
    void initControllers();
    const QMap<QString, kit::ViewController*>& viewControllers() const { return m_viewControllers; }
    kit::ViewController* currentVisibleViewController() const override;
    KZHomeNavigator* navigator() const { return m_navigator; }
    KZHomeToolbarController* toolbar() const { return m_toolbar; }

    // Selects navigator index 0 (the file page) and hands it the path.
    void setExpectFilePath(const QString& path) override;
    void closeUserInfoWindow() override {}

    void windowDidResize(kit::Window* window) override;
    void homeNavigatorDidSelectIndex(KZHomeNavigator* navigator, int index) override;
    void homeNavigatorDidDoubleClick(KZHomeNavigator* navigator) override;

protected:
    void loadWindow() override;
    void windowDidLoad() override;

private:
    void showPage(int index);
    void layoutPages();

    QStringList m_titles;
    QMap<QString, kit::ViewController*> m_viewControllers;
    QList<kit::ViewController*> m_ownedPages; // pages that the router does not keep
    QPointer<KZHomeNavigator> m_navigator;
    QPointer<kit::View> m_pageArea;
    QPointer<KZHomeToolbarController> m_toolbar;
    int m_visible = -1;
};
