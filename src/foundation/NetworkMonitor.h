#pragma once

#include "Weak.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <optional>

namespace nubo {
template <class T> class SingletonT;
}

// Notified on the main thread when the machine's reachability changes.
class NetworkMonitorObserver {
public:
    virtual ~NetworkMonitorObserver() = default;
    virtual void networkMonitorDidChangeStatus(bool paused) { (void)paused; }
};

// The process-wide network state. It follows Qt's network information when a backend loads on
// this machine; with no backend the network counts as reachable. Tests may force the state.
// On every change it posts kNetworkReachabilityChangedNotification (user info "paused": bool)
// on the default notification centre and tells its observers. getInstance() and the state may be
// used from any thread; everything else is main-thread only.
class NetworkMonitor : public QObject {
    Q_OBJECT
public:
    static inline const QString kNetworkReachabilityChangedNotification =
        QStringLiteral("kNetworkReachabilityChangedNotification");

    // Reset with SingletonT<NetworkMonitor>::reset() on the main thread, while no transfer
    // signs in (the engines read the state then).
    static NetworkMonitor* getInstance();

    // YES when the last reachability status says that nothing is reachable.
    bool isNetworkPaused() const;

    // Forces the state (and announces a change); std::nullopt returns to the machine's state.
    void setNetworkPausedForTesting(std::optional<bool> paused);

    void addObserver(NetworkMonitorObserver* observer) { m_observers.add(observer); }
    void removeObserver(NetworkMonitorObserver* observer) { m_observers.remove(observer); }

private:
    friend class nubo::SingletonT<NetworkMonitor>;
    NetworkMonitor();
    void followSystem(bool announce);
    bool systemPaused() const;
    void update();

    std::atomic<bool> m_paused{false};
    std::optional<bool> m_forced;
    nubo::WeakList<NetworkMonitorObserver> m_observers;
};
