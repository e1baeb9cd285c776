#include "KZAppDelegate.h"
#include "kit/Application.h"

#include <QApplication>
#include <QLocale>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onTerminate(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT end the event loop, so that shutdown runs as after a normal quit.
void quitOnSignals(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction sa = {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}
QtMessageHandler previousHandler = nullptr;

// Without XDG_RUNTIME_DIR (a login without a desktop session, a container) Qt falls back to a
// private folder of its own and says so on every start; the fallback works, so the line is noise.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nubo"));
    quitOnSignals(app);
    // Nubo's own texts are Chinese; with no locale set, texts from the system (file type
    // descriptions) follow them instead of falling back to English.
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    // Qt's own dialogs (the file and folder choosers) speak the program's language too.
    kit::Application::installQtTranslations(QLocale(QLocale::Chinese, QLocale::China));

    int code = 1;
    {
        KZAppDelegate delegate;
        if (delegate.applicationDidFinishLaunching())
            code = app.exec();
        else if (delegate.handedOver())
            code = 0;
        delegate.applicationWillTerminate();
    }
    return code;
}
