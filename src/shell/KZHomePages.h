#pragma once

#include <QString>

namespace kit {
class ViewController;
}

// What the shell asks of pages and windows built in higher layers. The home window, its bottom
// bar and the file page implement these; the shell reaches them through the router.

// The file page, as the home window and the window manager use it.
class KZFilesPage {
public:
    virtual ~KZFilesPage() = default;
    virtual void resizeContent() {}
    virtual void openDirToRoot() {}
    virtual void setExpectFilePath(const QString& path) { (void)path; }
    // Closes the page's operation, sort and more pop-up menus.
    virtual void closeFilesMenus() {}
};

// The home window.
class KZHomeWindow {
public:
    virtual ~KZHomeWindow() = default;
    virtual kit::ViewController* currentVisibleViewController() const = 0;
    virtual void setExpectFilePath(const QString& path) = 0;
    virtual void closeUserInfoWindow() {}
};

// The home window's bottom bar.
class KZHomeToolbar {
public:
    virtual ~KZHomeToolbar() = default;
    virtual void showMessageInRightArea(const QString& text) = 0;
    virtual void showUploadMessageInMiddleArea(const QString& text) = 0;
    virtual void showDownloadMessageInMiddleArea(const QString& text) = 0;
};
