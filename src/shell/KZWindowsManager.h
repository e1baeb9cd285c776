#pragma once

#include <QList>
#include <QPointer>
#include <QUrl>
#include <functional>

#include "kit/Window.h"

class KZBaseWindowController;
class KZHomeWindow;

namespace nubo {
template <class T> class SingletonT;
}

// Shows, presents and closes Nubo's windows, and reaches the home window and its bottom bar.
// Main thread only.
class KZWindowsManager {
public:
    static inline const QString kWindowDidCloseNotification = QStringLiteral("WindowDidClose");
    // The delay before a presented window's modal run starts.
    static constexpr int kPresentDelayMs = 10;

    // Reset with SingletonT<KZWindowsManager>::reset() (main thread): every window is forgotten.
    static KZWindowsManager& shareInstance();

    // Shows a window (a presented one is left alone); a shown one only comes to the front.
    void showWindow(KZBaseWindowController* controller);
    // Presents a window application-modally, 10 ms later; nothing when it is shown or presented.
    void presentWindowController(KZBaseWindowController* controller);
    // Presents a window as a sheet on `window`.
    void presentSheetModalWindowController(KZBaseWindowController* controller, kit::Window* window);
    // Closes a shown window; posts "WindowDidClose" with the controller as object.
    void closeWindow(KZBaseWindowController* controller);
    // Ends a presented window (modal run or sheet) and closes it; posts "WindowDidClose".
    void dismissWindowController(KZBaseWindowController* controller);

    using UrlsCompletion = std::function<void(const QList<QUrl>& urls)>;
    // A folder chooser as a sheet, starting in the saved download folder; cancel gives no URLs.
    void showPathPanelInWindow(kit::Window* window, UrlsCompletion completion);
    // A chooser of files and folders, several at once, as a sheet; cancel gives no URLs.
    void showOpenPanelInWindow(kit::Window* window, UrlsCompletion completion);

    // The shown image preview window, or a new one made through the router.
    KZBaseWindowController* imagesPreviewWindow();
    void closeUserInfoWindow();
    // Closes the pop-up menus of the file page shown in a home window.
    void closeFilesMenusWindow();
    // Forwards to the home window while it owns the key window.
    void setExpectFilePath(const QString& path);

    // Toasts on the visible page of the home window.
    void showFailedToast(const QString& text);
    void showWarningToast(const QString& text);

    static void showMessageInBottomBarRightArea(const QString& text);
    static void showUploadMessageInBottomBarMiddleArea(const QString& text);
    static void showDownloadMessageInBottomBarMiddleArea(const QString& text);

    QList<KZBaseWindowController*> shownWindowControllers() const;
    QList<KZBaseWindowController*> presentedWindowControllers() const;
    bool isShown(const KZBaseWindowController* c) const;
    bool isPresented(const KZBaseWindowController* c) const;
    // The window of the manager's own modal run, or null.
    kit::Window* modalWindow() const { return m_modalWindow; }

    // The folder the path panel starts in: the saved download folder (the user's Downloads
    // folder is made when it is missing, as a download there would make it).
    static QString savedDownloadFolder();

private:
    friend class nubo::SingletonT<KZWindowsManager>;
    KZWindowsManager() = default;
    static KZHomeWindow* homeWindow();
    // The window a presented window is a dialog of: the one that presented it, else the home window.
    kit::Window* dialogParent(KZBaseWindowController* controller) const;
    void prune();
    void postDidClose(KZBaseWindowController* controller);

    QList<QPointer<KZBaseWindowController>> m_shown;
    QList<QPointer<KZBaseWindowController>> m_presented;
    QPointer<kit::Window> m_modalWindow;
};
