#pragma once

#include "foundation/Dispatch.h"
#include "foundation/NotificationCenter.h"

#include <QObject>
#include <functional>

class QLocale;
class QTranslator;

namespace kit {

class Event;
class Window;

// The main queue and the notification centre are the foundation's; the kit uses them as is.
using nubo::Notification;
using nubo::NotificationCenter;

// Runs f later on the main thread, from any thread.
inline void async(std::function<void()> f) {
    nubo::runOnMain(std::move(f));
}
// Runs f on the main thread after `ms` milliseconds; dropped when `context` dies first.
inline void after(int ms, std::function<void()> f, QObject* context = nullptr) {
    nubo::runAfter(ms, std::move(f), context);
}

// Application-wide services: modal runs and local key monitors. Main thread only.
class Application {
public:
    // Shows `window` application-modally and runs until stopModal (or the window closes);
    // returns the code given to stopModal (-1 when the window closed on its own). Runs nest.
    static int runModal(Window* window);
    // Ends the innermost modal run with `code`; nothing when none runs.
    static void stopModal(int code = 0);
    // The window of the innermost modal run, or null.
    static Window* modalWindow();

    using KeyHandler = std::function<void(const Event&)>;
    // Calls `handler` with every key press of the application before the focused widget gets
    // it; the event always goes on unchanged. Returns a token for removeMonitor.
    static quint64 addLocalKeyDownMonitor(KeyHandler handler);
    static void removeMonitor(quint64 token);

    // Brings the application's windows forward.
    static void activate();

    // Loads Qt's own texts (standard dialogs, context menus of text fields) in `language` from
    // Qt's translations folder and installs them; the translator belongs to the application.
    // Null when Qt has no translation for that language (its texts stay English).
    static QTranslator* installQtTranslations(const QLocale& language);
};

} // namespace kit
