#include "sync/SyncOperationQueue.h"

namespace nubo::sync {

SyncAnswer SyncOperation::ask(const BWError& conflict, bool folderKind) {
    const SyncAnswer all = folderKind ? m_all->folder : m_all->file;
    if (all != SyncAnswer::None)
        return all;
    return m_queue->wait(this, conflict);
}

void SyncOperation::fail(const BWError& error) {
    failed = true;
    std::function<void(const QString&, const BWError&, int)> f;
    {
        std::lock_guard<std::mutex> l(m_queue->m_mutex);
        f = m_queue->m_listener.fail;
    }
    if (f)
        f(m_name, error, m_type);
}

bool SyncOperation::stopped() const {
    std::lock_guard<std::mutex> l(m_queue->m_mutex);
    return m_queue->m_stopCurrent || m_queue->m_quit;
}

SyncOperationQueue::SyncOperationQueue(const QString& threadName) {
    m_thread = QThread::create([this] { loop(); });
    m_thread->setObjectName(threadName);
    m_thread->start();
}

SyncOperationQueue::~SyncOperationQueue() {
    {
        std::lock_guard<std::mutex> l(m_mutex);
        m_quit = true;
        m_queue.clear();
    }
    m_cv.notify_all();
    m_thread->wait();
    delete m_thread;
}

void SyncOperationQueue::setListener(Listener l) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listener = std::move(l);
}

bool SyncOperationQueue::add(std::shared_ptr<SyncOperation> op) {
    Listener listener;
    quint64 n = 0;
    {
        std::lock_guard<std::mutex> l(m_mutex);
        for (const auto& q : m_queue)
            if (q->name() == op->name())
                return false;
        op->m_queue = this;
        m_queue.push_back(op);
        n = m_queue.size() + (m_current ? 1 : 0);
        listener = m_listener;
    }
    // Reported before the operation may start: a "queued" that overtook the running and done
    // reports would leave the interface saying "preparing" for ever.
    if (listener.stateChange)
        listener.stateChange(kSyncStateQueued, n, op->type());
    {
        std::lock_guard<std::mutex> l(m_mutex);
        op->m_announced = true;
    }
    m_cv.notify_all();
    return true;
}

void SyncOperationQueue::addTogether(const QList<std::shared_ptr<SyncOperation>>& ops) {
    for (const auto& op : ops) {
        op->m_all = ops.front()->m_all;
        add(op);
    }
}

void SyncOperationQueue::answer(const QString& name, SyncAnswer answer, bool all) {
    {
        std::lock_guard<std::mutex> l(m_mutex);
        if (!m_waiting || m_waiting->name() != name || m_answer != SyncAnswer::None)
            return;
        m_answer = answer;
        m_answerAll = all;
    }
    m_cv.notify_all();
}

void SyncOperationQueue::stopAll() {
    std::unique_lock<std::mutex> l(m_mutex);
    m_queue.clear();
    m_stopCurrent = m_current != nullptr;
    m_cv.notify_all();
    m_cv.wait(l, [&] { return !m_current; });
    m_stopCurrent = false;
}

int SyncOperationQueue::count() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return int(m_queue.size()) + (m_current ? 1 : 0);
}

SyncAnswer SyncOperationQueue::wait(SyncOperation* op, const BWError& conflict) {
    Listener listener;
    quint64 n = 0;
    {
        std::lock_guard<std::mutex> l(m_mutex);
        if (m_stopCurrent || m_quit)
            return SyncAnswer::None;
        m_waiting = op;
        m_answer = SyncAnswer::None;
        listener = m_listener;
        n = m_queue.size() + 1;
    }
    if (listener.stateChange)
        listener.stateChange(kSyncStateWaiting, n, op->type());
    if (listener.fail)
        listener.fail(op->name(), conflict, op->type());
    std::unique_lock<std::mutex> l(m_mutex);
    m_cv.wait(l, [&] { return m_answer != SyncAnswer::None || m_stopCurrent || m_quit; });
    const SyncAnswer a = m_answer;
    m_waiting = nullptr;
    m_answer = SyncAnswer::None;
    if (a != SyncAnswer::None && m_answerAll) {
        const bool folder = a == SyncAnswer::Merge || a == SyncAnswer::SkipMerge;
        (folder ? op->m_all->folder : op->m_all->file) = a;
    }
    return a;
}

void SyncOperationQueue::loop() {
    for (;;) {
        std::shared_ptr<SyncOperation> op;
        Listener listener;
        quint64 n = 0;
        {
            std::unique_lock<std::mutex> l(m_mutex);
            m_cv.wait(l, [&] { return m_quit || (!m_queue.empty() && m_queue.front()->m_announced); });
            if (m_quit)
                return;
            op = m_queue.front();
            m_queue.pop_front();
            m_current = op;
            listener = m_listener;
            n = m_queue.size() + 1;
        }
        if (listener.stateChange)
            listener.stateChange(kSyncStateRunning, n, op->type());
        op->run();
        bool last = false;
        bool stopped = false;
        {
            std::lock_guard<std::mutex> l(m_mutex);
            stopped = m_stopCurrent || m_quit;
            last = m_queue.empty();
            n = m_queue.size();
            listener = m_listener;
        }
        // Reported before the operation leaves the queue, so that an idle queue has said all.
        if (!stopped) {
            if (listener.success && !op->failed)
                listener.success(op->name(), op->filesCount, op->ctrlCount, op->type());
            if (listener.stateChange)
                listener.stateChange(kSyncStateDone, n, op->type());
            if (last && listener.completion)
                listener.completion(op->type());
        }
        {
            std::lock_guard<std::mutex> l(m_mutex);
            m_current.reset();
        }
        m_cv.notify_all();
    }
}

} // namespace nubo::sync
