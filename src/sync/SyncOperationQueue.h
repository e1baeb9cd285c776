#pragma once

#include "foundation/BWError.h"

#include <QList>
#include <QString>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace nubo::sync {

// The answers a waiting operation can get to a conflict.
enum class SyncAnswer { None, Cover, Keep, Merge, SkipCover, SkipMerge };

// The states an operation reports: queued, running, waiting for an answer, finished.
enum SyncState : quint64 {
    kSyncStateQueued = 0,
    kSyncStateRunning = 1,
    kSyncStateWaiting = 2,
    kSyncStateDone = 4
};

class SyncOperationQueue;

// The answers "for all" that settle later conflicts without asking, one per kind of conflict.
struct SyncAllAnswers {
    SyncAnswer file = SyncAnswer::None;
    SyncAnswer folder = SyncAnswer::None;
};

// One queued operation. Runs on its queue's thread; may stop there to ask about a conflict.
class SyncOperation {
public:
    SyncOperation(QString name, int type) : m_name(std::move(name)), m_type(type) {}
    virtual ~SyncOperation() = default;
    const QString& name() const { return m_name; }
    int type() const { return m_type; }

    virtual void run() = 0;

    // Reports the conflict and waits for the answer, unless an answer "for all" of the same
    // kind was given earlier in this operation. A stopped queue answers skip.
    SyncAnswer ask(const BWError& conflict, bool folderKind);
    // A failure that asks nothing.
    void fail(const BWError& error);
    bool stopped() const;

    quint64 filesCount = 0;
    quint64 ctrlCount = 0;
    // Set by fail(): the operation reports no success.
    bool failed = false;

private:
    friend class SyncOperationQueue;
    QString m_name;
    int m_type;
    SyncOperationQueue* m_queue = nullptr;
    // Set once its "queued" report went out; the queue's thread does not start it before.
    bool m_announced = false;
    // Shared by the operations of one request (see addTogether), so that "apply to all" covers
    // every item the user chose, not only the one the question was about.
    std::shared_ptr<SyncAllAnswers> m_all = std::make_shared<SyncAllAnswers>();
};

// A queue of named operations run one at a time on its own thread (named after the manager).
// A request whose name equals that of an operation still queued is dropped.
class SyncOperationQueue {
public:
    struct Listener {
        std::function<void(quint64 state, quint64 count, int type)> stateChange;
        std::function<void(const QString& name, const BWError& error, int type)> fail;
        std::function<void(const QString& name, quint64 files, quint64 ctrl, int type)> success;
        std::function<void(int type)> completion;
    };

    explicit SyncOperationQueue(const QString& threadName);
    ~SyncOperationQueue();

    void setListener(Listener l);
    // Queues the operation; false when one of that name is still queued.
    bool add(std::shared_ptr<SyncOperation> op);
    // Queues the operations of one request of several items: an answer "for all" given to one
    // of them also settles that kind of conflict in the others.
    void addTogether(const QList<std::shared_ptr<SyncOperation>>& ops);
    // Gives the waiting operation of that name its answer (for this item or for all).
    void answer(const QString& name, SyncAnswer answer, bool all);
    // Drops the queued operations, makes the running one stop (its questions answered "skip")
    // and waits until it has.
    void stopAll();
    // Operations queued or running.
    int count() const;
    bool idle() const { return count() == 0; }

private:
    friend class SyncOperation;
    void loop();
    SyncAnswer wait(SyncOperation* op, const BWError& conflict);

    QThread* m_thread = nullptr;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::shared_ptr<SyncOperation>> m_queue;
    std::shared_ptr<SyncOperation> m_current;
    SyncOperation* m_waiting = nullptr;
    SyncAnswer m_answer = SyncAnswer::None;
    bool m_answerAll = false;
    bool m_stopCurrent = false;
    bool m_quit = false;
    Listener m_listener;
};

} // namespace nubo::sync
