#pragma once

#include <QObject>
#include <QPointer>

namespace kit {

class View;
class Window;

// Owns a page's view, made lazily: view() calls loadView() and then viewDidLoad() once. The view
// is deleted with its controller, wherever it was placed.
// The appear and disappear callbacks fire when the view enters or leaves a shown window
// (shown or hidden with it, or itself shown or hidden inside one).
class ViewController : public QObject {
    Q_OBJECT
public:
    explicit ViewController(QObject* parent = nullptr);
    ~ViewController() override;

    View* view();
    bool isViewLoaded() const { return m_view != nullptr; }
    // Sets the view (e.g. from loadView); the controller watches it for appearing.
    void setView(View* view);
    // The window that shows the view, or null.
    Window* viewWindow() const;
    bool isViewVisible() const { return m_appeared; }

    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    virtual void viewDidDisappear() {}

protected:
    // Makes the view; the default makes a plain kit::View.
    virtual void loadView();
    virtual void viewDidLoad() {}

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<View> m_view;
    bool m_loading = false;
    bool m_appeared = false;
};

} // namespace kit
