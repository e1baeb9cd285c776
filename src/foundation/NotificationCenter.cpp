#include "foundation/NotificationCenter.h"

#include "foundation/SingletonT.h"

#include <QSet>

#include <atomic>

namespace nubo {

NotificationCenter& NotificationCenter::defaultCenter() {
    return SingletonT<NotificationCenter>::instance();
}

NotificationCenter::~NotificationCenter() {
    // An observer destroyed later would otherwise call into this freed centre.
    QMutexLocker lock(&m_mutex);
    for (const auto& watch : std::as_const(m_watches))
        QObject::disconnect(watch);
}

quint64 NotificationCenter::addObserver(QObject* observer, const QString& name, Handler handler) {
    if (!observer || !handler)
        return 0;
    QMutexLocker lock(&m_mutex);
    const quint64 token = m_nextToken++;
    m_entries.push_back({token, observer, name, std::move(handler), std::make_shared<State>()});
    if (!m_watches.contains(observer)) {
        // Weak hold: forget the observer as soon as it starts being destroyed.
        m_watches.insert(observer, QObject::connect(
                                       observer, &QObject::destroyed, observer,
                                       [this, observer] { removeObserver(observer); }, Qt::DirectConnection));
    }
    return token;
}

void NotificationCenter::removeIf(const std::function<bool(const Entry&)>& pred) {
    std::vector<std::shared_ptr<State>> removed;
    {
        QMutexLocker lock(&m_mutex);
        QSet<QObject*> gone;
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (pred(*it)) {
                it->state->alive.store(false);
                removed.push_back(it->state);
                gone.insert(it->observer);
                it = m_entries.erase(it);
            } else {
                ++it;
            }
        }
        // An observer with no registration left is no longer watched.
        for (const Entry& e : m_entries)
            gone.remove(e.observer);
        for (QObject* o : std::as_const(gone))
            QObject::disconnect(m_watches.take(o));
    }
    // Wait for deliveries on other threads (a removal from inside its own handler passes).
    for (const auto& state : removed)
        QMutexLocker wait(&state->delivering);
}

void NotificationCenter::removeObserver(QObject* observer, const QString& name) {
    removeIf([&](const Entry& e) { return e.observer == observer && (name.isEmpty() || e.name == name); });
}

void NotificationCenter::removeObserver(quint64 token) {
    removeIf([&](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(const QString& name, const QVariant& object, const QVariantMap& userInfo) {
    std::vector<std::pair<Handler, std::shared_ptr<State>>> targets;
    {
        QMutexLocker lock(&m_mutex);
        for (const Entry& e : m_entries)
            if (e.name.isEmpty() || e.name == name)
                targets.emplace_back(e.handler, e.state);
    }
    const Notification note{name, object, userInfo};
    for (auto& [handler, state] : targets) {
        QMutexLocker running(&state->delivering);
        if (state->alive.load()) // removed during this delivery: skip
            handler(note);
    }
}

int NotificationCenter::observerCount(const QString& name) const {
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [&](const Entry& e) { return name.isEmpty() || e.name == name; }));
}

} // namespace nubo
