#include "NetworkMonitor.h"

#include "Dispatch.h"
#include "NotificationCenter.h"
#include "SingletonT.h"

#include <QCoreApplication>
#include <QNetworkInformation>

NetworkMonitor* NetworkMonitor::getInstance() {
    return &nubo::SingletonT<NetworkMonitor>::instance();
}

NetworkMonitor::NetworkMonitor() {
    // The monitor may first be asked for on a worker thread; it still lives on the main thread,
    // where the system's reachability signals and the observers are.
    QCoreApplication* app = QCoreApplication::instance();
    if (app && thread() != app->thread())
        moveToThread(app->thread());
    if (nubo::isMainThread())
        followSystem(false);
    else
        nubo::runOn(this, [this] { followSystem(true); });
}

void NetworkMonitor::followSystem(bool announce) {
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        if (auto* info = QNetworkInformation::instance())
            connect(info, &QNetworkInformation::reachabilityChanged, this, [this] { update(); });
    }
    // Inside getInstance() nobody may be told yet: a listener asking for the instance would
    // re-enter its creation.
    if (announce)
        update();
    else
        m_paused = m_forced ? *m_forced : systemPaused();
}

bool NetworkMonitor::systemPaused() const {
    const auto* info = QNetworkInformation::instance();
    if (!info)
        return false;
    const auto r = info->reachability();
    // Unknown means the backend cannot tell; only a definite "nothing" pauses the network.
    return r == QNetworkInformation::Reachability::Disconnected;
}

bool NetworkMonitor::isNetworkPaused() const {
    return m_paused;
}

void NetworkMonitor::setNetworkPausedForTesting(std::optional<bool> paused) {
    m_forced = paused;
    update();
}

void NetworkMonitor::update() {
    const bool paused = m_forced ? *m_forced : systemPaused();
    if (paused == m_paused)
        return;
    m_paused = paused;
    nubo::NotificationCenter::defaultCenter().post(kNetworkReachabilityChangedNotification, {},
                                                   {{QStringLiteral("paused"), paused}});
    m_observers.forEach([paused](NetworkMonitorObserver* o) { o->networkMonitorDidChangeStatus(paused); });
}
