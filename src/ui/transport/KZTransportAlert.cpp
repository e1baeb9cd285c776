#include "ui/transport/KZTransportAlert.h"

#include "shell/KZWindowsManager.h"

namespace KZTransportAlert {

KZAlertController* ask(const QObject* context, const QString& windowTitle, const QString& text,
                       const QString& confirmTitle, KZAlertActionStyle style, std::function<void()> confirm,
                       std::function<void()> dismiss) {
    auto* alert = KZAlertController::alertControllerWithWindowTitle(windowTitle, text, QString());
    alert->addAction(
        KZAlertAction::actionWithTitle(confirmTitle, style, context, [confirm](const KZAlertAction&) {
            if (confirm)
                confirm();
        }));
    alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("取消"), KZAlertActionStyleCancel, context,
                                                    [dismiss](const KZAlertAction&) {
                                                        if (dismiss)
                                                            dismiss();
                                                    }));
    KZWindowsManager::shareInstance().presentWindowController(alert);
    return alert;
}

void closeUserInfoWindow() {
    KZWindowsManager::shareInstance().closeUserInfoWindow();
}

} // namespace KZTransportAlert
