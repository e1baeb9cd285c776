#include "foundation/Dispatch.h"

#include "foundation/Handoff.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

namespace nubo {

void runOnMain(std::function<void()> f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, Handoff(std::move(f)), Qt::QueuedConnection);
}

void runOn(QObject* context, std::function<void()> f) {
    if (!context)
        return;
    QMetaObject::invokeMethod(context, Handoff(std::move(f)), Qt::QueuedConnection);
}

void runAfter(int ms, std::function<void()> f, QObject* context) {
    QObject* ctx = context ? context : QCoreApplication::instance();
    if (!ctx)
        return;
    if (context && context->thread() != QCoreApplication::instance()->thread()) {
        // Timers must start on the context's thread.
        runOn(context,
              [ms, f = std::move(f), context]() mutable { QTimer::singleShot(ms, context, std::move(f)); });
        return;
    }
    if (QThread::currentThread() == ctx->thread()) {
        QTimer::singleShot(ms, ctx, std::move(f));
    } else {
        runOn(ctx, [ms, f = std::move(f), ctx]() mutable { QTimer::singleShot(ms, ctx, std::move(f)); });
    }
}

bool isMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

KZBackgroundThread& KZBackgroundThread::shared() {
    // Deliberately never destroyed: the thread is stopped from the application's post routine,
    // and objects still holding a pointer at exit must not see a dangling one.
    static KZBackgroundThread* instance = [] {
        auto* t = new KZBackgroundThread();
        qAddPostRoutine([] { KZBackgroundThread::shared().stop(); });
        return t;
    }();
    return *instance;
}

KZBackgroundThread::KZBackgroundThread() : m_thread(new QThread), m_context(new QObject) {
    m_thread->setObjectName(QStringLiteral("KZBackgroundThread"));
    m_context->moveToThread(m_thread);
    m_thread->start();
}

void KZBackgroundThread::runAndWait(const std::function<void()>& f) {
    if (QThread::currentThread() == m_thread) {
        f();
        return;
    }
    if (!m_thread->isRunning())
        return;
    // What f wrote is read here once the call returns.
    int done = 0;
    QMetaObject::invokeMethod(m_context, Handoff([&] {
                                  f();
                                  handoffRelease(&done);
                              }),
                              Qt::BlockingQueuedConnection);
    handoffAcquire(&done);
}

void KZBackgroundThread::runAndWaitOrHere(const std::function<void()>& f) {
    if (m_thread->isRunning())
        runAndWait(f);
    else
        f();
}

void KZBackgroundThread::stop() {
    if (!m_thread->isRunning())
        return;
    m_thread->quit();
    m_thread->wait();
}

BackgroundContext::BackgroundContext() : m_object(new QObject) {
    m_object->moveToThread(KZBackgroundThread::shared().thread());
}

BackgroundContext::~BackgroundContext() {
    // Deleted on its own thread, an object takes its pending queued calls with it; a stopped
    // thread runs nothing, so there it can go from here.
    QThread* thread = m_object->thread();
    if (QThread::currentThread() == thread || !thread->isRunning())
        delete m_object;
    else
        KZBackgroundThread::shared().runAndWait([o = m_object] { delete o; });
}

} // namespace nubo
