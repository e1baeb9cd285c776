#pragma once

#include "transfer/KZTransportJobInfo.h"
#include "transfer/TransferEngine.h"

#include <QHash>
#include <QList>
#include <functional>

namespace nubo::transfer {

// Main-thread state of a transfer proxy: one open info per job keyed by its path, updated in
// place, and the unfinished and finished lists that hold those same objects.
template <class Info> class JobOpenInfoLists {
public:
    using OpenInfo = KZJobOpenInfo<Info>;
    using Ptr = std::shared_ptr<OpenInfo>;
    using Convert = Info (*)(const TransferEngine::JobView&);

    explicit JobOpenInfoLists(Convert convert) : m_convert(convert) {}

    QList<Ptr>& unfinished() { return m_unfinished; }
    QList<Ptr>& finished() { return m_finished; }
    Ptr find(const QString& key) const { return m_map.value(key); }

    // The job's open info, made when new and updated in place, in the list its status belongs to.
    Ptr apply(const TransferEngine::JobView& v) {
        Ptr p = m_map.value(v.rec.path);
        if (!p) {
            p = std::make_shared<OpenInfo>(m_convert(v));
            m_map.insert(v.rec.path, p);
        } else {
            p->update(m_convert(v));
        }
        const bool done = p->m_status == KZTransportJobStatusFinished;
        QList<Ptr>& wanted = done ? m_finished : m_unfinished;
        QList<Ptr>& other = done ? m_unfinished : m_finished;
        other.removeOne(p);
        if (!wanted.contains(p))
            wanted.append(p);
        return p;
    }

    // The job's open info, taken out of the lists and the map.
    Ptr remove(const TransferEngine::JobView& v) {
        Ptr p = m_map.take(v.rec.path);
        if (!p)
            p = std::make_shared<OpenInfo>(m_convert(v));
        else
            p->update(m_convert(v));
        m_unfinished.removeOne(p);
        m_finished.removeOne(p);
        return p;
    }

    // Rebuilds one list (or both) from the engine's jobs in the engine's order; known jobs keep
    // their objects.
    void rebuild(const QList<TransferEngine::JobView>& jobs, bool unfinished, bool finished) {
        QHash<QString, Ptr> map;
        QList<Ptr> newUnfinished, newFinished;
        for (const auto& v : jobs) {
            const bool done = v.rec.status == KZTransportJobStatusFinished;
            if ((done && !finished) || (!done && !unfinished))
                continue;
            Ptr p = m_map.value(v.rec.path);
            if (p)
                p->update(m_convert(v));
            else
                p = std::make_shared<OpenInfo>(m_convert(v));
            map.insert(v.rec.path, p);
            (done ? newFinished : newUnfinished).append(p);
        }
        // Entries of a list that is not rebuilt stay as they are.
        for (const Ptr& p : finished ? QList<Ptr>() : m_finished)
            map.insert(p->m_path, p);
        for (const Ptr& p : unfinished ? QList<Ptr>() : m_unfinished)
            map.insert(p->m_path, p);
        if (unfinished)
            m_unfinished = newUnfinished;
        if (finished)
            m_finished = newFinished;
        m_map = map;
    }

    // What a proxy tells its observers about one engine event.
    struct Callbacks {
        std::function<void(const QList<Ptr>&)> added;
        std::function<void(const Ptr&)> changed, finished, cancelled, failed;
        std::function<void()> reset; // the engine named no job: both lists are read again
    };

    // Brings the lists up to date with an engine event and calls the matching callback.
    void handle(TransferEngine::Event e, const QList<TransferEngine::JobView>& jobs, const Callbacks& cb) {
        using Event = TransferEngine::Event;
        if (e == Event::Reset)
            return cb.reset();
        if (e == Event::Added) {
            QList<Ptr> infos;
            for (const auto& v : jobs)
                infos.append(apply(v));
            return cb.added(infos);
        }
        for (const auto& v : jobs) {
            if (e == Event::Cancelled) {
                cb.cancelled(remove(v));
                continue;
            }
            const Ptr info = apply(v);
            if (e == Event::Finished)
                cb.finished(info);
            else if (e == Event::Error)
                cb.failed(info);
            else
                cb.changed(info);
        }
    }

private:
    Convert m_convert;
    QList<Ptr> m_unfinished;
    QList<Ptr> m_finished;
    QHash<QString, Ptr> m_map;
};

} // namespace nubo::transfer
