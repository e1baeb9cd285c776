#pragma once

#include "foundation/Dispatch.h"
#include "foundation/SingletonT.h"
#include "service/CloudService.h"
#include "transfer/KZTransportJobInfo.h"
#include "transfer/TransferJobTable.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>

namespace nubo::transfer {

// A job as an engine holds it: its stored record and what only lives while it runs.
struct EngineJob {
    TransferJobRecord rec;
    double progress = 0;
    double speed = 0;

    // Worker state. A worker that was stopped may still be finishing when the job is started
    // again; the new worker waits for it (`restartWhenIdle`) so two never touch one job.
    std::shared_ptr<std::atomic<bool>> stop;
    quint64 generation = 0;
    bool workerBusy = false;
    bool restartWhenIdle = false;
    int retries = 0;
    bool removed = false; // out of the engine's list: late reports of its worker are dropped
    qint64 speedBytes = 0;
    qint64 speedAtMs = 0;
    qint64 lastReportMs = -1000000;
    bool reportQueued = false; // a held-back progress report is due
};
using EngineJobPtr = std::shared_ptr<EngineJob>;

// What a worker may do while it runs, from its pool thread.
class WorkerContext {
public:
    bool stopped() const { return m_stop->load(); }
    const std::atomic<bool>* stopFlag() const { return m_stop.get(); }
    CloudService& service() const { return *m_service; }
    TransferJobTable& table() const { return *m_table; }
    // `doneBytes` of the job are done (sent or written) so far.
    void progress(qint64 doneBytes);
    // Stores changed fields of the record (hash, upload id, size, ...), through the engine.
    void updateRecord(std::function<void(TransferJobRecord&)> change);

private:
    friend class TransferEngine;
    std::shared_ptr<std::atomic<bool>> m_stop;
    std::shared_ptr<CloudService> m_service;
    TransferJobTable* m_table = nullptr;
    std::function<void(qint64)> m_progress;
    std::function<void(std::function<void(TransferJobRecord&)>)> m_update;
};

// The common part of the upload and download engines: the job list in adding order, the
// status rules of the commands, the limit of running jobs, workers on a pool, retries, pausing
// with the network, and a record of every job in the per-user database. Everything but the
// workers runs on the shared background thread.
class TransferEngine {
public:
    // Both engines are process-wide (nubo::SingletonT). Their job list is read by reference on
    // the background thread, so a reset ends an engine there: its workers stop and what was
    // queued for it is dropped (the records stay for the next sign-in). Reset the proxy that
    // listens to one along with it.
    static constexpr bool kEndsOnBackgroundThread = true;

    // Jobs in status 1 per direction, whatever their size.
    static constexpr int kMaxRunning = 5;

    enum class Event { Added, Changed, Finished, Cancelled, Error, Reset };
    struct JobView {
        TransferJobRecord rec;
        double progress = 0;
        double speed = 0;
    };
    using Listener = std::function<void(Event, const QList<JobView>&)>;

    explicit TransferEngine(QString prefix);
    virtual ~TransferEngine();
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    // Background thread only, from here on.
    void setListener(Listener l) { m_listener = std::move(l); }
    // Opens the job tables in the per-user database and restores the unfinished jobs.
    BWError signIn(std::shared_ptr<CloudService> service, const QString& databasePath);
    // Stops every worker (waiting for them) and forgets the jobs; the records stay.
    void signOut();
    bool signedIn() const { return m_table != nullptr; }

    // Adds jobs in status 3; a job whose key is in the list unfinished is not added twice, a
    // finished one is replaced. Returns the jobs added.
    QList<JobView> addJobs(QList<TransferJobRecord> records);
    void pause(const QString& key);
    void resume(const QString& key);
    // Cancels a job, or deletes the record of a finished one.
    void cancel(const QString& key);
    // Cancels a job that is still unfinished as this runs; a job finished meanwhile keeps its
    // finish (the user chose to stop a transfer, not to drop its record).
    void cancelUnfinished(const QString& key);
    void pauseAll();
    void resumeAll();
    void cancelAll();
    void cancelFinishedAll();
    QList<JobView> jobs() const;
    QList<JobView> finishedJobs() const;
    QList<JobView> unfinishedJobs() const;

    // Any thread: the number of jobs in a status (1 to 7).
    int count(int status) const { return status >= 0 && status < 8 ? m_counts[status].load() : 0; }

    void setRetryDelayMs(int ms) { m_retryDelayMs = ms; }
    int retryDelayMs() const { return m_retryDelayMs; }
    static bool isTransient(const BWError& e);

    // Tests hold a worker at a named point ("placed": a download renamed into place; "began":
    // an upload's id given; "committed": an upload's commit accepted) to put a pause, a cancel,
    // a quit or a kill exactly there.
    using StepHook = std::function<void(const char* step, const TransferJobRecord& rec)>;
    static void setStepHookForTesting(StepHook hook);

protected:
    static void reachedStep(const char* step, const TransferJobRecord& rec);
    // Stops every worker and waits for them; no job starts after. A subclass calls it first in
    // its destructor, since the workers run its `work`.
    void stopWorkers();

    // Runs the job's steps on a pool thread; returns when done, failed or stopped.
    virtual BWError work(const TransferJobRecord& rec, WorkerContext& ctx) = 0;
    // Tidies what a cancelled job leaves behind (a temporary file, the service's upload).
    virtual void discard(const TransferJobRecord& rec) { (void)rec; }
    // A job stopped by a frozen file waits in status 7 when the engine supports it.
    virtual bool supportsThaw() const { return false; }
    // Whether a job in status 7 may start again.
    virtual bool thawed(const TransferJobRecord& rec) {
        (void)rec;
        return true;
    }
    // Called after a job finished (the session learns of new nodes).
    virtual void jobFinished(const TransferJobRecord& rec) { (void)rec; }

    std::shared_ptr<CloudService> service() const { return m_service; }
    TransferJobTable* table() const { return m_table.get(); }

private:
    EngineJobPtr find(const QString& key) const;
    JobView view(const EngineJob& j) const { return {j.rec, j.progress, j.speed}; }
    void setStatus(EngineJob& j, int status, int reason = KZTransportPausedReasonNone);
    // Records the job's changes; they are written together with the others of this turn of the
    // event loop, in one transaction.
    void save(EngineJob& j);
    void queueFlush();
    // Writes the changes recorded so far; called before anything else writes to the job table.
    void flushRecords();
    void emitEvent(Event e, const QList<JobView>& jobs);
    void emitJob(Event e, EngineJob& j) { emitEvent(e, {view(j)}); }
    int runningCount() const;
    // Counts by status: recounted after changes of the list, moved by status changes.
    void recount();
    void countMove(int from, int to);
    void schedule();
    void launch(const EngineJobPtr& j);
    void stopWorker(EngineJob& j);
    void workerProgress(const EngineJobPtr& j, quint64 gen, qint64 doneBytes);
    void workerDone(const EngineJobPtr& j, quint64 gen, const BWError& error);
    void pauseJob(const EngineJobPtr& j, int reason);
    void resumeJob(const EngineJobPtr& j);
    void cancelJob(const EngineJobPtr& j);
    void setNetworkPaused(bool paused);
    void checkThaw(const EngineJobPtr& j);

    QString m_prefix;
    Listener m_listener;
    std::shared_ptr<CloudService> m_service;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<TransferJobTable> m_table;
    QList<EngineJobPtr> m_jobs;                 // in adding order
    QHash<QString, EngineJobPtr> m_index;       // the same jobs by key
    qsizetype m_scanFrom = 0;                   // no job before this index in m_jobs is waiting
    QHash<qint64, TransferJobRecord> m_unsaved; // by id: the latest record of each changed job
    QList<qint64> m_uncleared;                  // finished jobs whose block rows are to go
    bool m_flushQueued = false;
    QThreadPool m_pool;
    std::unique_ptr<BackgroundContext> m_ownContext;
    QObject* m_context = nullptr; // m_ownContext's object: queued calls and timers
    bool m_closing = false;       // being destroyed: no worker starts
    QElapsedTimer m_clock;
    bool m_networkPaused = false;
    int m_retryDelayMs = 3000;
    std::atomic<int> m_counts[8] = {};
};

} // namespace nubo::transfer
