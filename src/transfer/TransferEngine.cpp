#include "transfer/TransferEngine.h"

#include "foundation/Dispatch.h"
#include "foundation/Handoff.h"
#include "foundation/Log.h"
#include "foundation/NetworkMonitor.h"
#include "foundation/NotificationCenter.h"
#include "storage/UserDatabase.h"
#include "transfer/SessionBridge.h"
#include "transfer/TransferErrors.h"

#include <QDateTime>
#include <QTimer>
#include <mutex>

namespace nubo::transfer {

namespace {

// Progress reports of one job reach the pages at most this often; status changes always do.
constexpr qint64 kReportIntervalMs = 200;
// A speed sample spans at least this long; the shown speed is a smoothed average of samples.
constexpr qint64 kSpeedSampleMs = 500;
// Transient failures are retried this many times in a row before the job fails.
constexpr int kMaxRetries = 5;

std::mutex g_hookMutex;
std::shared_ptr<TransferEngine::StepHook> g_hook;

} // namespace

void TransferEngine::setStepHookForTesting(StepHook hook) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_hook = hook ? std::make_shared<StepHook>(std::move(hook)) : nullptr;
}

void TransferEngine::reachedStep(const char* step, const TransferJobRecord& rec) {
    std::shared_ptr<StepHook> hook;
    {
        std::lock_guard<std::mutex> lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook)
        (*hook)(step, rec);
}

void WorkerContext::progress(qint64 doneBytes) {
    m_progress(doneBytes);
}

void WorkerContext::updateRecord(std::function<void(TransferJobRecord&)> change) {
    m_update(std::move(change));
}

TransferEngine::TransferEngine(QString prefix) : m_prefix(std::move(prefix)) {
    m_pool.setMaxThreadCount(2 * kMaxRunning);
    m_clock.start();
    m_ownContext = std::make_unique<BackgroundContext>();
    m_context = m_ownContext->get();
    // The network's state is read on every change; the engine acts on it on its own thread.
    NotificationCenter::defaultCenter().addObserver(
        m_context, NetworkMonitor::kNetworkReachabilityChangedNotification, [this](const Notification& n) {
            const bool paused = n.userInfo.value(QStringLiteral("paused")).toBool();
            runOn(m_context, [this, paused] { setNetworkPaused(paused); });
        });
}

TransferEngine::~TransferEngine() {
    stopWorkers();
    // The workers' last reports are queued to the context, which takes them (and every other
    // queued call or timer that holds `this`) with it.
    m_ownContext.reset();
}

void TransferEngine::stopWorkers() {
    // The jobs belong to the background thread: they are stopped there, and nothing starts after.
    const auto stopAll = [this] {
        NotificationCenter::defaultCenter().removeObserver(m_context);
        m_closing = true;
        flushRecords();
        for (auto& j : m_jobs)
            if (j->stop)
                j->stop->store(true);
    };
    KZBackgroundThread::shared().runAndWaitOrHere(stopAll);
    waitForPool(m_pool);
}

bool TransferEngine::isTransient(const BWError& e) {
    if (e.domain() == BWError::kDomainNetwork)
        return true;
    if (e.domain() == BWError::kDomainHTTP)
        return e.code() >= 500;
    return e.domain() == BWError::kDomainCloud && e.code() == kCloudErrorStorage;
}

BWError TransferEngine::signIn(std::shared_ptr<CloudService> service, const QString& databasePath) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    signOut();
    auto db = UserDatabase::openConnection(databasePath);
    if (!db.ok())
        return db.error;
    auto table = std::make_unique<TransferJobTable>(*db.value, m_prefix);
    if (BWError e = table->create())
        return e;
    auto records = table->all();
    if (!records.ok())
        return records.error;
    m_service = std::move(service);
    m_db = std::move(db.value);
    m_table = std::move(table);
    m_networkPaused = NetworkMonitor::getInstance()->isNetworkPaused();
    // What was running or waiting when the program stopped waits again; a file that was
    // frozen is checked again; pauses and errors stay as they were.
    for (TransferJobRecord& rec : records.value) {
        auto j = std::make_shared<EngineJob>();
        j->rec = rec;
        if (rec.status == KZTransportJobStatusRunning || rec.status == KZTransportJobStatusWaitingThaw ||
            (rec.status == KZTransportJobStatusPaused &&
             rec.pausedReason == KZTransportPausedReasonNetwork)) {
            j->rec.status = KZTransportJobStatusWaiting;
            j->rec.pausedReason = KZTransportPausedReasonNone;
            warnIfFailed(lcTransfer(), m_table->save(j->rec), "recording a job that waits again");
        } else if (rec.status == KZTransportJobStatusCancelled) {
            warnIfFailed(lcTransfer(), m_table->remove(rec.id), "removing a cancelled job");
            continue;
        }
        j->progress = rec.size > 0 ? double(rec.finishedSize) / double(rec.size)
                                   : (rec.status == KZTransportJobStatusFinished ? 1.0 : 0.0);
        m_jobs.append(j);
        m_index.insert(j->rec.path, j);
    }
    recount();
    emitEvent(Event::Reset, {});
    schedule();
    return {};
}

void TransferEngine::signOut() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    flushRecords();
    for (auto& j : m_jobs) {
        j->removed = true;
        if (j->stop)
            j->stop->store(true);
    }
    waitForPool(m_pool);
    const bool had = !m_jobs.isEmpty();
    m_jobs.clear();
    m_scanFrom = 0;
    m_index.clear();
    m_table.reset();
    m_db.reset();
    m_service.reset();
    recount();
    if (had)
        emitEvent(Event::Reset, {});
}

EngineJobPtr TransferEngine::find(const QString& key) const {
    return m_index.value(key);
}

void TransferEngine::save(EngineJob& j) {
    if (!m_table)
        return;
    if (j.rec.id <= 0) {
        warnIfFailed(lcTransfer(), m_table->save(j.rec), "recording a job");
        return;
    }
    m_unsaved.insert(j.rec.id, j.rec);
    queueFlush();
}

void TransferEngine::queueFlush() {
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    runOn(m_context, [this] { flushRecords(); });
}

void TransferEngine::flushRecords() {
    m_flushQueued = false;
    if (!m_table || (m_unsaved.isEmpty() && m_uncleared.isEmpty()))
        return;
    auto unsaved = std::exchange(m_unsaved, {});
    const auto uncleared = std::exchange(m_uncleared, {});
    Database::Transaction t(*m_db);
    for (TransferJobRecord& rec : unsaved)
        warnIfFailed(lcTransfer(), m_table->save(rec), "recording a job");
    for (qint64 id : uncleared)
        warnIfFailed(lcTransfer(), m_table->clearBlocks(id), "clearing a finished job's blocks");
    warnIfFailed(lcTransfer(), t.commit(), "recording the jobs");
}

void TransferEngine::setStatus(EngineJob& j, int status, int reason) {
    countMove(j.rec.status, status);
    j.rec.status = status;
    if (status == KZTransportJobStatusWaiting)
        m_scanFrom = 0; // it may lie before the first job that schedule() looks at
    j.rec.pausedReason = status == KZTransportJobStatusPaused ? reason : KZTransportPausedReasonNone;
    if (status != KZTransportJobStatusRunning)
        j.speed = 0;
    if (status != KZTransportJobStatusError && status != KZTransportJobStatusWaitingThaw)
        j.rec.error = BWError();
    save(j);
}

void TransferEngine::emitEvent(Event e, const QList<JobView>& jobs) {
    if (m_listener)
        m_listener(e, jobs);
}

int TransferEngine::runningCount() const {
    return m_counts[KZTransportJobStatusRunning].load();
}

void TransferEngine::countMove(int from, int to) {
    if (from >= 0 && from < 8)
        --m_counts[from];
    if (to >= 0 && to < 8)
        ++m_counts[to];
}

void TransferEngine::recount() {
    int c[8] = {};
    for (const auto& j : m_jobs)
        if (j->rec.status >= 0 && j->rec.status < 8)
            ++c[j->rec.status];
    for (int i = 0; i < 8; ++i)
        m_counts[i].store(c[i]);
}

QList<TransferEngine::JobView> TransferEngine::addJobs(QList<TransferJobRecord> records) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    QList<JobView> added;
    if (!m_table)
        return added;
    flushRecords();
    // A finished job of the same key gives way to the new one.
    for (const TransferJobRecord& rec : records) {
        EngineJobPtr old = find(rec.path);
        if (!old || old->rec.status != KZTransportJobStatusFinished)
            continue;
        warnIfFailed(lcTransfer(), m_table->remove(old->rec.id), "removing a finished job");
        m_jobs.removeOne(old);
        m_scanFrom = 0;
        m_index.remove(old->rec.path);
        old->removed = true;
        old->rec.status = KZTransportJobStatusCancelled;
        recount();
        emitJob(Event::Cancelled, *old);
    }
    // The new records in one transaction: thousands of small jobs come at once.
    Database::Transaction batch(*m_db);
    if (batch.error())
        return added;
    QList<EngineJobPtr> made;
    for (TransferJobRecord& rec : records) {
        if (find(rec.path))
            continue;
        rec.id = 0;
        rec.status = KZTransportJobStatusWaiting;
        rec.pausedReason = KZTransportPausedReasonNone;
        rec.finishedSize = 0;
        rec.finishedTime = 0;
        rec.error = BWError();
        if (BWError e = m_table->save(rec))
            continue;
        auto j = std::make_shared<EngineJob>();
        j->rec = rec;
        m_jobs.append(j);
        m_index.insert(j->rec.path, j);
        made.append(j);
    }
    if (BWError e = batch.commit()) {
        // Nothing of the batch was recorded: a job without a record is not added.
        warnIfFailed(lcTransfer(), e, "recording new jobs");
        for (const EngineJobPtr& j : made) {
            m_jobs.removeOne(j);
            m_index.remove(j->rec.path);
        }
        m_scanFrom = 0;
        made.clear();
    }
    for (const EngineJobPtr& j : made)
        added.append(view(*j));
    recount();
    if (!added.isEmpty()) {
        emitEvent(Event::Added, added);
        postTransportCount();
        schedule();
    }
    return added;
}

void TransferEngine::schedule() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (m_networkPaused || !m_table || m_closing)
        return;
    int running = runningCount();
    // The jobs before m_scanFrom wait for nothing: thousands of finished jobs are not walked
    // again each time one more finishes.
    for (qsizetype i = m_scanFrom; i < m_jobs.size() && running < kMaxRunning; ++i) {
        const EngineJobPtr j = m_jobs[i];
        if (j->rec.status == KZTransportJobStatusWaiting) {
            setStatus(*j, KZTransportJobStatusRunning);
            launch(j);
            emitJob(Event::Changed, *j);
            postTransportCount();
            ++running;
        }
        if (m_scanFrom == i && j->rec.status != KZTransportJobStatusWaiting)
            ++m_scanFrom;
    }
}

void TransferEngine::launch(const EngineJobPtr& j) {
    if (m_closing)
        return;
    if (j->workerBusy) {
        j->restartWhenIdle = true;
        return;
    }
    j->restartWhenIdle = false;
    j->workerBusy = true;
    j->stop = std::make_shared<std::atomic<bool>>(false);
    const quint64 gen = ++j->generation;
    j->speedAtMs = m_clock.elapsed();
    j->speedBytes = 0;

    auto ctx = std::make_shared<WorkerContext>();
    ctx->m_stop = j->stop;
    ctx->m_service = m_service;
    ctx->m_table = m_table.get();
    QObject* context = m_context;
    ctx->m_progress = [this, context, j, gen](qint64 bytes) {
        runOn(context, [this, j, gen, bytes] { workerProgress(j, gen, bytes); });
    };
    ctx->m_update = [this, context, j](std::function<void(TransferJobRecord&)> change) {
        // A stopped worker's facts (an upload id, a hash) still hold: a later run or the tidying
        // of a cancelled job needs them. Its next worker starts only after it is done.
        runOn(context, [this, j, change = std::move(change)] {
            if (!m_table)
                return;
            change(j->rec);
            if (!j->removed)
                save(*j);
        });
    };
    const TransferJobRecord rec = j->rec;
    startOnPool(m_pool, [this, context, j, gen, ctx, rec] {
        const BWError error = work(rec, *ctx);
        runOn(context, [this, j, gen, error] { workerDone(j, gen, error); });
    });
}

void TransferEngine::stopWorker(EngineJob& j) {
    if (j.stop)
        j.stop->store(true);
    ++j.generation; // later reports of that worker are stale
    j.restartWhenIdle = false;
}

void TransferEngine::workerProgress(const EngineJobPtr& j, quint64 gen, qint64 doneBytes) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (m_closing)
        return; // the engine is going: its listener hears nothing more
    if (j->removed || j->generation != gen || j->rec.status != KZTransportJobStatusRunning)
        return;
    const qint64 bytes = qMax<qint64>(0, doneBytes - j->rec.finishedSize);
    j->rec.finishedSize = qBound<qint64>(0, doneBytes, qMax<qint64>(j->rec.size, 0));
    j->progress = j->rec.size > 0 ? double(j->rec.finishedSize) / double(j->rec.size) : 0;
    j->speedBytes += bytes;
    const qint64 now = m_clock.elapsed();
    if (now - j->speedAtMs >= kSpeedSampleMs) {
        const double sample = double(j->speedBytes) * 1000.0 / double(now - j->speedAtMs);
        j->speed = j->speed <= 0 ? sample : 0.7 * j->speed + 0.3 * sample;
        j->speedAtMs = now;
        j->speedBytes = 0;
    }
    if (now - j->lastReportMs >= kReportIntervalMs) {
        j->lastReportMs = now;
        emitJob(Event::Changed, *j);
    } else if (!j->reportQueued) {
        // A report held back goes out when the interval ends, even if no more progress comes:
        // the pages would otherwise show a stale figure for as long as the job stalls.
        j->reportQueued = true;
        runAfter(
            int(kReportIntervalMs - (now - j->lastReportMs)),
            [this, j, gen] {
                j->reportQueued = false;
                if (m_closing || j->removed || j->generation != gen ||
                    j->rec.status != KZTransportJobStatusRunning)
                    return;
                j->lastReportMs = m_clock.elapsed();
                emitJob(Event::Changed, *j);
            },
            m_context);
    }
}

void TransferEngine::workerDone(const EngineJobPtr& j, quint64 gen, const BWError& error) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (m_closing)
        return; // the engine is going: its listener hears nothing more
    j->workerBusy = false;
    if (j->removed) {
        // A job cancelled while its worker ran is tidied once the worker is out of the way.
        if (j->rec.status == KZTransportJobStatusCancelled)
            discard(j->rec);
        return;
    }
    if (j->generation != gen && error) {
        // Stopped by a command; it may have been started again meanwhile.
        if (j->restartWhenIdle && j->rec.status == KZTransportJobStatusRunning)
            launch(j);
        return;
    }
    if (!error) {
        // Also when a pause came after the work was done: the file is in place (or committed),
        // and dropping the report would leave a finished job to fail when it runs again.
        j->restartWhenIdle = false;
        j->retries = 0;
        j->rec.finishedSize = j->rec.size;
        j->progress = 1;
        j->rec.finishedTime = quint32(QDateTime::currentSecsSinceEpoch());
        setStatus(*j, KZTransportJobStatusFinished);
        if (m_table) {
            m_uncleared.append(j->rec.id);
            queueFlush();
        }
        jobFinished(j->rec);
        emitJob(Event::Finished, *j);
        postTransportCount();
        schedule();
        return;
    }
    if (supportsThaw() && error.domain() == BWError::kDomainCloud && error.code() == kCloudErrorFrozen) {
        j->rec.error = error;
        setStatus(*j, KZTransportJobStatusWaitingThaw);
        emitJob(Event::Changed, *j);
        postTransportCount();
        runAfter(
            m_retryDelayMs, [this, j] { checkThaw(j); }, m_context);
        schedule();
        return;
    }
    if (isTransient(error) && j->retries < kMaxRetries) {
        ++j->retries;
        const quint64 next = j->generation;
        runAfter(
            m_retryDelayMs,
            [this, j, next] {
                if (!j->removed && j->generation == next && j->rec.status == KZTransportJobStatusRunning)
                    launch(j);
            },
            m_context);
        return;
    }
    j->retries = 0;
    j->rec.error = error;
    setStatus(*j, KZTransportJobStatusError);
    emitJob(Event::Error, *j);
    postTransportCount();
    schedule();
}

void TransferEngine::checkThaw(const EngineJobPtr& j) {
    if (j->removed || j->rec.status != KZTransportJobStatusWaitingThaw)
        return;
    if (!thawed(j->rec)) {
        runAfter(
            m_retryDelayMs, [this, j] { checkThaw(j); }, m_context);
        return;
    }
    setStatus(*j, KZTransportJobStatusWaiting);
    emitJob(Event::Changed, *j);
    postTransportCount();
    schedule();
}

void TransferEngine::pauseJob(const EngineJobPtr& j, int reason) {
    const int s = j->rec.status;
    if (s == KZTransportJobStatusRunning)
        stopWorker(*j);
    else if (s != KZTransportJobStatusWaiting && s != KZTransportJobStatusError)
        return;
    setStatus(*j, KZTransportJobStatusPaused, reason);
    emitJob(Event::Changed, *j);
    postTransportCount();
}

void TransferEngine::resumeJob(const EngineJobPtr& j) {
    const int s = j->rec.status;
    if (s != KZTransportJobStatusPaused && s != KZTransportJobStatusError)
        return;
    j->retries = 0;
    if (runningCount() < kMaxRunning && !m_networkPaused) {
        setStatus(*j, KZTransportJobStatusRunning);
        launch(j);
    } else {
        setStatus(*j, KZTransportJobStatusWaiting);
    }
    emitJob(Event::Changed, *j);
    postTransportCount();
}

void TransferEngine::cancelJob(const EngineJobPtr& j) {
    const bool finished = j->rec.status == KZTransportJobStatusFinished;
    stopWorker(*j);
    m_jobs.removeOne(j);
    m_index.remove(j->rec.path);
    m_scanFrom = 0;
    j->removed = true;
    if (m_table) {
        flushRecords();
        warnIfFailed(lcTransfer(), m_table->remove(j->rec.id), "removing a cancelled job");
    }
    countMove(j->rec.status, -1); // out of the list
    j->rec.status = KZTransportJobStatusCancelled;
    if (!finished && !j->workerBusy)
        discard(j->rec);
    emitJob(Event::Cancelled, *j);
    postTransportCount();
}

void TransferEngine::pause(const QString& key) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (EngineJobPtr j = find(key)) {
        pauseJob(j, KZTransportPausedReasonUser);
        schedule();
    }
}

void TransferEngine::resume(const QString& key) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (EngineJobPtr j = find(key))
        resumeJob(j);
}

void TransferEngine::cancel(const QString& key) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (EngineJobPtr j = find(key)) {
        cancelJob(j);
        schedule();
    }
}

void TransferEngine::cancelUnfinished(const QString& key) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (EngineJobPtr j = find(key); j && j->rec.status != KZTransportJobStatusFinished) {
        cancelJob(j);
        schedule();
    }
}

void TransferEngine::pauseAll() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    const auto all = m_jobs;
    for (const auto& j : all)
        pauseJob(j, KZTransportPausedReasonUser);
}

void TransferEngine::resumeAll() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    const auto all = m_jobs;
    for (const auto& j : all)
        resumeJob(j);
}

void TransferEngine::cancelAll() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    const auto all = m_jobs;
    for (const auto& j : all)
        if (j->rec.status != KZTransportJobStatusFinished)
            cancelJob(j);
}

void TransferEngine::cancelFinishedAll() {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (!m_table)
        return;
    flushRecords();
    warnIfFailed(lcTransfer(), m_table->removeFinished(), "removing the finished jobs");
    const int before = int(m_jobs.size());
    m_scanFrom = 0;
    m_jobs.removeIf([this](const EngineJobPtr& j) {
        j->removed = j->rec.status == KZTransportJobStatusFinished;
        if (j->removed)
            m_index.remove(j->rec.path);
        return j->removed;
    });
    recount();
    if (m_jobs.size() != before) {
        // The pages read both lists again: the engine names no single job here.
        emitEvent(Event::Reset, {});
        postTransportCount();
    }
}

QList<TransferEngine::JobView> TransferEngine::jobs() const {
    NUBO_ASSERT_BACKGROUND_THREAD();
    QList<JobView> out;
    for (const auto& j : m_jobs)
        out.append(view(*j));
    return out;
}

QList<TransferEngine::JobView> TransferEngine::finishedJobs() const {
    NUBO_ASSERT_BACKGROUND_THREAD();
    QList<JobView> out;
    for (const auto& j : m_jobs)
        if (j->rec.status == KZTransportJobStatusFinished)
            out.append(view(*j));
    return out;
}

QList<TransferEngine::JobView> TransferEngine::unfinishedJobs() const {
    NUBO_ASSERT_BACKGROUND_THREAD();
    QList<JobView> out;
    for (const auto& j : m_jobs)
        if (j->rec.status != KZTransportJobStatusFinished)
            out.append(view(*j));
    return out;
}

void TransferEngine::setNetworkPaused(bool paused) {
    NUBO_ASSERT_BACKGROUND_THREAD();
    if (paused == m_networkPaused)
        return;
    m_networkPaused = paused;
    const auto all = m_jobs;
    if (paused) {
        for (const auto& j : all)
            if (j->rec.status == KZTransportJobStatusRunning)
                pauseJob(j, KZTransportPausedReasonNetwork);
        return;
    }
    for (const auto& j : all)
        if (j->rec.status == KZTransportJobStatusPaused &&
            j->rec.pausedReason == KZTransportPausedReasonNetwork)
            resumeJob(j);
    schedule();
}

} // namespace nubo::transfer
