#pragma once

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QRecursiveMutex>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace nubo {

struct Notification {
    QString name;
    QVariant object;
    QVariantMap userInfo;
};

// Posts named notifications to observers. A post is delivered synchronously on the posting
// thread (receivers that need the main thread hop there themselves). Observers are QObjects
// held weakly: an observer that is destroyed is removed by itself. Observers may be added or
// removed from any thread, also from inside a delivery. A removal returns only once deliveries
// of that registration running on other threads have finished, so an observer that removes
// itself (or is destroyed) is not called afterwards.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    // Reset with SingletonT<NotificationCenter>::reset().
    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    // Lets go of the observers, which may outlive it.
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Observes `name` (every name when empty) for `observer`; returns a token for removal.
    quint64 addObserver(QObject* observer, const QString& name, Handler handler);
    // Removes every registration of `observer` for `name` (all names when empty).
    void removeObserver(QObject* observer, const QString& name = {});
    void removeObserver(quint64 token);

    void post(const QString& name, const QVariant& object = {}, const QVariantMap& userInfo = {});

    int observerCount(const QString& name = {}) const;

private:
    // Shared by a registration and its deliveries in flight.
    struct State {
        std::atomic<bool> alive{true};
        QRecursiveMutex delivering; // held while the handler runs; a removal waits for it
    };
    struct Entry {
        quint64 token;
        QObject* observer;
        QString name;
        Handler handler;
        std::shared_ptr<State> state;
    };
    void removeIf(const std::function<bool(const Entry&)>& pred);

    mutable QMutex m_mutex;
    std::vector<Entry> m_entries;
    QHash<QObject*, QMetaObject::Connection> m_watches; // each observer's destruction, watched
    quint64 m_nextToken = 1;
};

} // namespace nubo
