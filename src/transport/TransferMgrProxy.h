#pragma once

#include "foundation/Dispatch.h"
#include "foundation/Log.h"
#include "foundation/SingletonT.h"
#include "foundation/Weak.h"
#include "sync/SyncOperationQueue.h"
#include "transport/JobOpenInfoLists.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace nubo::transfer {

// Tests hold a report here, on the thread that sends it, inside the proxy's gate.
using RelayHook = std::function<void()>;
inline std::atomic<const RelayHook*>& relayHookForTesting() {
    static std::atomic<const RelayHook*> hook{nullptr};
    return hook;
}

// What the upload and the download proxies share: the engine's commands and counts, the open-info
// lists kept on the main thread, the observer calls about jobs and the answers to a sync
// manager's conflicts. `Engine` and `Sync` are singletons; `Delegate` is the proxy's observer class,
// whose callbacks are named in `Calls`. A proxy is process-wide too (nubo::SingletonT, main thread);
// it listens to the engine and the sync manager there are when it is made, so reset it after them,
// once the transfers are signed out.
template <class Engine, class Sync, class Delegate, class Info> class TransferMgrProxy : public QObject {
public:
    using Lists = JobOpenInfoLists<Info>;
    using Ptr = typename Lists::Ptr;

    struct Calls {
        int (Delegate::*added)(const QList<Ptr>&);
        void (Delegate::*changed)(const Ptr&);
        int (Delegate::*finished)(const Ptr&);
        int (Delegate::*cancelled)(const Ptr&);
        int (Delegate::*failed)(const Ptr&);
        void (Delegate::*unfinishedList)(const QList<Ptr>&);
        void (Delegate::*finishedList)(const QList<Ptr>&);
    };

    int getRunningJobCount() const { return Engine::shared().count(KZTransportJobStatusRunning); }
    int getWaitingJobCount() const { return Engine::shared().count(KZTransportJobStatusWaiting); }
    int getPausedJobCount() const { return Engine::shared().count(KZTransportJobStatusPaused); }
    int getErrorJobCount() const { return Engine::shared().count(KZTransportJobStatusError); }
    int getFinishedJobCount() const { return Engine::shared().count(KZTransportJobStatusFinished); }

    void pause(const QString& path) {
        command(QStringLiteral("pause"), path, [=](Engine& m) { m.pause(path); });
    }
    void resume(const QString& path) {
        command(QStringLiteral("resume"), path, [=](Engine& m) { m.resume(path); });
    }
    void cancel(const QString& path) {
        command(QStringLiteral("cancel"), path, [=](Engine& m) { m.cancel(path); });
    }
    // What a page sends to stop a job it saw unfinished: the job may finish before the engine
    // gets this, and then stays finished.
    void cancelUnfinished(const QString& path) {
        command(QStringLiteral("cancelUnfinished"), path, [=](Engine& m) { m.cancelUnfinished(path); });
    }
    void pauseAll() {
        command(QStringLiteral("pauseAll"), {}, [](Engine& m) { m.pauseAll(); });
    }
    void resumeAll() {
        command(QStringLiteral("resumeAll"), {}, [](Engine& m) { m.resumeAll(); });
    }
    void cancelAll() {
        command(QStringLiteral("cancelAll"), {}, [](Engine& m) { m.cancelAll(); });
    }
    void cancelFinishedAll() {
        command(QStringLiteral("cancelFinishedAll"), {}, [](Engine& m) { m.cancelFinishedAll(); });
    }

    // Sees every job command (its name and path) as it is sent; tests count what the pages send.
    using CommandWatcher = std::function<void(const QString& command, const QString& path)>;
    void setCommandWatcher(CommandWatcher watcher) { m_watcher = std::move(watcher); }

    void coverCurrentOperation(const QString& op) {
        onSync([=](Sync& m) { m.coverCurrentOperation(op); });
    }
    void coverAllOperation(const QString& op) {
        onSync([=](Sync& m) { m.coverAllOperation(op); });
    }
    void mergeCurrentOperation(const QString& op) {
        onSync([=](Sync& m) { m.mergeCurrentOperation(op); });
    }
    void mergeAllOperation(const QString& op) {
        onSync([=](Sync& m) { m.mergeAllOperation(op); });
    }
    void skipCurrentCoverOperation(const QString& op) {
        onSync([=](Sync& m) { m.skipCurrentCoverOperation(op); });
    }
    void skipAllCoverOperation(const QString& op) {
        onSync([=](Sync& m) { m.skipAllCoverOperation(op); });
    }
    void skipCurrentMergeOperation(const QString& op) {
        onSync([=](Sync& m) { m.skipCurrentMergeOperation(op); });
    }
    void skipAllMergeOperation(const QString& op) {
        onSync([=](Sync& m) { m.skipAllMergeOperation(op); });
    }

protected:
    // Main thread; the engine's events come back to this object queued.
    // The listener is set by queued work, so the main thread never waits; every command the
    // proxy sends is queued behind it on the same thread, so no event of its jobs is missed.
    TransferMgrProxy(typename Lists::Convert convert, const Calls& calls) : m_lists(convert), m_calls(calls) {
        NUBO_ASSERT_MAIN_THREAD();
        KZBackgroundThread::shared().run([this] {
            Engine::shared().setListener(
                [this, gate = m_gate](TransferEngine::Event e, const QList<TransferEngine::JobView>& jobs) {
                    gate->pass([&] { runOn(this, [this, e, jobs] { engineEvent(e, jobs); }); });
                });
        });
    }

    ~TransferMgrProxy() override {
        NUBO_ASSERT_MAIN_THREAD();
        // The sync manager reports on its own thread, from a copy of its listener that outlives
        // the clearing below: a report under way is waited for, and later ones are turned away.
        m_gate->close();
        // Work queued on the background thread refers to this proxy: it runs first, then the
        // listeners go; what it queued back here is dropped with the object.
        KZBackgroundThread::shared().runAndWaitOrHere([] {
            if (Engine* engine = SingletonT<Engine>::existing())
                engine->setListener({});
            if (Sync* sync = SingletonT<Sync>::existing())
                sync->setListener({});
        });
    }

    // The calls that a sync manager's reports make on each observer; an empty one is not relayed.
    struct SyncCalls {
        std::function<void(Delegate*, quint64 state, quint64 count, int type)> stateChange;
        std::function<void(Delegate*, const QString& name, const BWError& error, int type)> fail;
        std::function<void(Delegate*, const QString& name, quint64 files, quint64 ctrl, int type)> success;
        std::function<void(Delegate*, int type)> completion;
    };
    // The sync manager reports on its own thread; the observers hear of it here, queued.
    void listenToSync(const SyncCalls& calls) {
        sync::SyncOperationQueue::Listener l;
        l.stateChange = relay(calls.stateChange);
        l.fail = relay(calls.fail);
        l.success = relay(calls.success);
        l.completion = relay(calls.completion);
        Sync::shared().setListener(l);
    }

    template <class F> void notify(F&& f) {
        NUBO_ASSERT_MAIN_THREAD();
        m_observers.forEach(f);
    }
    // Calls one of the observers' callbacks named in `Calls` on every observer.
    template <class M, class... V> void call(M f, const V&... v) {
        notify([&](Delegate* o) { (o->*f)(v...); });
    }

    // Answers with the list as it stands, or reads it from the engine when it is empty. A request
    // made while a read runs is answered when that read ends, from what it read.
    void fetch(bool unfinished) {
        NUBO_ASSERT_MAIN_THREAD();
        if (m_reading) {
            ++(unfinished ? m_pendingUnfinished : m_pendingFinished);
            return;
        }
        if (!(unfinished ? m_lists.unfinished() : m_lists.finished()).isEmpty())
            return answer(unfinished);
        m_reading = true;
        ++(unfinished ? m_pendingUnfinished : m_pendingFinished);
        KZBackgroundThread::shared().run([this] {
            const auto all = Engine::shared().jobs();
            runOn(this, [this, all] {
                const int u = std::exchange(m_pendingUnfinished, 0);
                const int f = std::exchange(m_pendingFinished, 0);
                m_lists.rebuild(all, u > 0, f > 0);
                m_reading = false;
                for (int i = 0; i < f; ++i)
                    answer(false);
                for (int i = 0; i < u; ++i)
                    answer(true);
            });
        });
    }

    static void onSync(const std::function<void(Sync&)>& f) {
        KZBackgroundThread::shared().run([f] { f(Sync::shared()); });
    }

    WeakList<Delegate> m_observers;
    mutable Lists m_lists;

private:
    // Lets the listeners' calls through until the proxy ends; ending waits for a call inside.
    class Gate {
    public:
        template <class F> void pass(F&& f) {
            if (!m_open)
                return;
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_open)
                return;
            if (const RelayHook* hook = relayHookForTesting().load())
                (*hook)();
            f();
        }
        void close() {
            m_open = false; // before the wait: a call that starts now does nothing
            std::lock_guard<std::mutex> lock(m_mutex);
        }

    private:
        std::atomic<bool> m_open{true};
        std::mutex m_mutex;
    };

    template <class... A> std::function<void(A...)> relay(const std::function<void(Delegate*, A...)>& f) {
        if (!f)
            return {};
        return [this, gate = m_gate, f](A... a) {
            gate->pass([&] { runOn(this, [=, this] { notify([&](Delegate* o) { f(o, a...); }); }); });
        };
    }

    static void onEngine(const std::function<void(Engine&)>& f) {
        KZBackgroundThread::shared().run([f] { f(Engine::shared()); });
    }
    void command(const QString& name, const QString& path, const std::function<void(Engine&)>& f) {
        NUBO_ASSERT_MAIN_THREAD();
        if (m_watcher)
            m_watcher(name, path);
        onEngine(f);
    }

    void engineEvent(TransferEngine::Event e, const QList<TransferEngine::JobView>& jobs) {
        NUBO_ASSERT_MAIN_THREAD();
        m_lists.handle(e, jobs,
                       {[this](const QList<Ptr>& infos) { call(m_calls.added, infos); },
                        [this](const Ptr& info) { call(m_calls.changed, info); },
                        [this](const Ptr& info) { call(m_calls.finished, info); },
                        [this](const Ptr& info) { call(m_calls.cancelled, info); },
                        [this](const Ptr& info) { call(m_calls.failed, info); },
                        [this] {
                            KZBackgroundThread::shared().run([this] {
                                const auto all = Engine::shared().jobs();
                                runOn(this, [this, all] {
                                    m_lists.rebuild(all, true, true);
                                    call(m_calls.finishedList, m_lists.finished());
                                    call(m_calls.unfinishedList, m_lists.unfinished());
                                });
                            });
                        }});
    }

    void answer(bool unfinished) {
        if (unfinished)
            call(m_calls.unfinishedList, m_lists.unfinished());
        else
            call(m_calls.finishedList, m_lists.finished());
    }

    const Calls m_calls;
    // Held by the listeners too: they may be called after the proxy is gone.
    const std::shared_ptr<Gate> m_gate = std::make_shared<Gate>();
    CommandWatcher m_watcher;
    bool m_reading = false;
    int m_pendingUnfinished = 0, m_pendingFinished = 0;
};

} // namespace nubo::transfer
