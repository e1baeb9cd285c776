#include "KZDatabaseRescueNotice.h"

#include "KZAlertController.h"
#include "KZWindowsManager.h"
#include "foundation/Dispatch.h"
#include "foundation/NotificationCenter.h"
#include "foundation/SingletonT.h"
#include "storage/DatabaseRescue.h"

KZDatabaseRescueNotice& KZDatabaseRescueNotice::shareInstance() {
    return nubo::SingletonT<KZDatabaseRescueNotice>::instance();
}

void KZDatabaseRescueNotice::start() {
    if (!m_started) {
        m_started = true;
        // Databases are opened on other threads too (the per-user one at sign-in).
        nubo::NotificationCenter::defaultCenter().addObserver(
            this, nubo::kDatabaseRescuedNotification,
            [this](const nubo::Notification&) { nubo::runOn(this, [this] { showPending(); }); });
    }
    showPending();
}

QList<KZAlertController*> KZDatabaseRescueNotice::showPending() {
    QList<KZAlertController*> shown;
    for (const nubo::DatabaseRescue& rescue : nubo::takeDatabaseRescues()) {
        auto* alert =
            KZAlertController::alertControllerWithTitle(QStringLiteral("本地数据库已损坏"), rescue.message());
        alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("知道了"), KZAlertActionStylePrimary));
        KZWindowsManager::shareInstance().presentWindowController(alert);
        shown << alert;
    }
    return shown;
}
