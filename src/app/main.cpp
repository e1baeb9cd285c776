#include "KZAppDelegate.h"

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
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Nubo"));
    QCoreApplication::setApplicationName(QStringLiteral("Nubo"));
    quitOnSignals(app);
    // Nubo's own texts are Chinese; with no locale set, texts from the system (file type
    // descriptions) follow them instead of falling back to English.
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    int code = 1;
    {
        KZAppDelegate delegate;
        if (delegate.applicationDidFinishLaunching())
            code = app.exec();
        delegate.applicationWillTerminate();
    }
    return code;
}
