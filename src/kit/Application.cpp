#include "kit/Application.h"

#include "foundation/Log.h"
#include "kit/Event.h"
#include "kit/Window.h"

#include <QApplication>
#include <QEventLoop>
#include <QHash>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <QWindow>
#include <map>
#include <vector>

namespace kit {

namespace {

struct ModalRun {
    QPointer<Window> window;
    QEventLoop* loop = nullptr;
    int code = -1;
    bool stopped = false;
};

std::vector<ModalRun*>& modalStack() {
    static std::vector<ModalRun*> stack;
    return stack;
}

// Stops a modal run when its window is hidden or closed by other means.
class ModalWatcher : public QObject {
public:
    explicit ModalWatcher(ModalRun* run) : m_run(run) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == m_run->window && (e->type() == QEvent::Hide || e->type() == QEvent::Close) &&
            !m_run->stopped) {
            m_run->stopped = true;
            m_run->loop->quit();
        }
        return false;
    }

private:
    ModalRun* m_run;
};

class KeyMonitor : public QObject {
public:
    static KeyMonitor& shared() {
        static KeyMonitor* m = new KeyMonitor;
        return *m;
    }
    quint64 add(Application::KeyHandler h) {
        if (m_handlers.empty() && qApp)
            qApp->installEventFilter(this);
        m_handlers.emplace(m_next, std::move(h));
        return m_next++;
    }
    void remove(quint64 token) {
        m_handlers.erase(token);
        if (m_handlers.empty() && qApp)
            qApp->removeEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::KeyPress)
            return false;
        auto* ke = static_cast<QKeyEvent*>(e);
        // Modifier keys alone are not key-down events.
        switch (ke->key()) {
        case Qt::Key_Control:
        case Qt::Key_Shift:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
            return false;
        default:
            break;
        }
        // One key press is offered to the window and then to each widget up the parent chain;
        // the monitor sees it once. A later press may reuse the same event address and time
        // (events sent by the program carry no time), so only a delivery that goes on from the
        // last receiver to its window's widgets or to its parents counts as the same press.
        if (ke == m_lastEvent && ke->timestamp() == m_lastTimestamp && ke->key() == m_lastKey &&
            continuesDelivery(m_lastReceiver, o))
            return false;
        m_lastEvent = ke;
        m_lastTimestamp = ke->timestamp();
        m_lastKey = ke->key();
        m_lastReceiver = o;
        QWidget* receiver = nullptr;
        if (o->isWidgetType())
            receiver = static_cast<QWidget*>(o);
        else if (qobject_cast<QWindow*>(o))
            receiver = QApplication::focusWidget();
        const Event ev = Event::fromKey(ke, receiver);
        // Handlers may remove monitors while they run.
        std::vector<quint64> tokens;
        for (const auto& [t, h] : m_handlers)
            tokens.push_back(t);
        for (quint64 t : tokens) {
            auto it = m_handlers.find(t);
            if (it != m_handlers.end()) {
                Application::KeyHandler h = it->second;
                h(ev);
            }
        }
        return false;
    }

private:
    static bool continuesDelivery(const QObject* last, QObject* next) {
        if (!last || !next || last == next || !next->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(next);
        if (auto* window = qobject_cast<const QWindow*>(last))
            return widget->window()->windowHandle() == window;
        if (!last->isWidgetType())
            return false;
        return widget->isAncestorOf(static_cast<const QWidget*>(last));
    }

    std::map<quint64, Application::KeyHandler> m_handlers;
    quint64 m_next = 1;
    const QKeyEvent* m_lastEvent = nullptr;
    quint64 m_lastTimestamp = 0;
    int m_lastKey = 0;
    QPointer<QObject> m_lastReceiver;
};

} // namespace

int Application::runModal(Window* window) {
    NUBO_ASSERT_MAIN_THREAD();
    if (!window)
        return -1;
    ModalRun run;
    run.window = window;
    QEventLoop loop;
    run.loop = &loop;
    ModalWatcher watcher(&run);
    const bool wasVisible = window->isVisible();
    if (wasVisible)
        window->hide(); // modality takes effect when a window is shown
    window->setWindowModality(Qt::ApplicationModal);
    window->installEventFilter(&watcher);
    modalStack().push_back(&run);
    window->makeKeyAndOrderFront();
    if (!run.stopped)
        loop.exec();
    auto& stack = modalStack();
    stack.erase(std::remove(stack.begin(), stack.end(), &run), stack.end());
    if (run.window) {
        run.window->removeEventFilter(&watcher);
        const bool visible = run.window->isVisible();
        if (visible)
            run.window->hide();
        run.window->setWindowModality(Qt::NonModal);
        if (visible)
            run.window->show();
    }
    return run.code;
}

void Application::stopModal(int code) {
    auto& stack = modalStack();
    if (stack.empty())
        return;
    ModalRun* run = stack.back();
    if (run->stopped)
        return;
    run->stopped = true;
    run->code = code;
    run->loop->quit();
}

Window* Application::modalWindow() {
    const auto& stack = modalStack();
    return stack.empty() ? nullptr : stack.back()->window.data();
}

quint64 Application::addLocalKeyDownMonitor(KeyHandler handler) {
    return KeyMonitor::shared().add(std::move(handler));
}

void Application::removeMonitor(quint64 token) {
    KeyMonitor::shared().remove(token);
}

void Application::activate() {
    if (QWidget* w = QApplication::activeWindow())
        w->raise();
}

namespace {
// Qt's translation of its base module, with the texts its Chinese translation lacks: without
// them the file dialog's type column says "Folder" on every folder.
class QtBaseTranslator : public QTranslator {
public:
    QtBaseTranslator(bool chinese, QObject* parent) : QTranslator(parent), m_chinese(chinese) {}
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        QString text = QTranslator::translate(context, source, disambiguation, n);
        if (!text.isEmpty() || !m_chinese || qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return text;
        static const QHash<QByteArray, QString> gaps{{"Folder", QStringLiteral("文件夹")},
                                                     {"Drive", QStringLiteral("驱动器")},
                                                     {"Unknown", QStringLiteral("未知")}};
        return gaps.value(QByteArray(source));
    }

private:
    bool m_chinese;
};
} // namespace

QTranslator* Application::installQtTranslations(const QLocale& language) {
    auto* translator = new QtBaseTranslator(language.language() == QLocale::Chinese, qApp);
    if (!translator->load(language, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        qCWarning(lcKit, "Qt has no translation for %s; its dialogs stay English",
                  qPrintable(language.name()));
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

} // namespace kit
