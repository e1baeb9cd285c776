#include "kit/ViewController.h"

#include "foundation/Log.h"
#include "kit/View.h"
#include "kit/Window.h"

#include <QEvent>

namespace kit {

ViewController::ViewController(QObject* parent) : QObject(parent) {}

ViewController::~ViewController() {
    // The view goes with its controller, also from inside a parent: its buttons and cells call
    // the controller, which is gone now.
    if (View* v = m_view) {
        m_view = nullptr;
        v->removeEventFilter(this);
        disconnect(v, nullptr, this, nullptr);
        delete v;
    }
}

View* ViewController::view() {
    NUBO_ASSERT_MAIN_THREAD();
    if (!m_view && !m_loading) {
        m_loading = true;
        loadView();
        if (!m_view)
            setView(new View);
        m_loading = false;
        viewDidLoad();
    }
    return m_view;
}

void ViewController::setView(View* view) {
    if (view == m_view)
        return;
    if (m_view) {
        m_view->removeEventFilter(this);
        disconnect(m_view, nullptr, this, nullptr);
    }
    m_view = view;
    if (view) {
        view->installEventFilter(this);
        // A view destroyed while shown does not report disappearing: its parts are gone already.
        connect(view, &View::willBeDestroyed, this, [this, view] {
            view->removeEventFilter(this);
            m_appeared = false;
            m_view = nullptr; // a controller that is its view's child goes with it: no second delete
        });
    }
}

Window* ViewController::viewWindow() const {
    return m_view ? m_view->kitWindow() : nullptr;
}

void ViewController::loadView() {
    setView(new View);
}

bool ViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == static_cast<QObject*>(m_view.get())) {
        // Spontaneous show/hide comes from minimising and restoring; the page stays on screen.
        if (event->type() == QEvent::Show && !event->spontaneous() && !m_appeared) {
            m_appeared = true;
            viewWillAppear();
            if (m_appeared)
                viewDidAppear();
        } else if (event->type() == QEvent::Hide && !event->spontaneous() && m_appeared) {
            m_appeared = false;
            viewWillDisappear();
            viewDidDisappear();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kit
