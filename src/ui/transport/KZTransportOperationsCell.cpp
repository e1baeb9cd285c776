#include "ui/transport/KZTransportOperationsCell.h"

#include "kit/Image.h"
#include "kit/OpenPanel.h"
#include "shell/KZButton.h"
#include "shell/KZToast.h"
#include "ui/transport/KZTransportAlert.h"

#include <QFileInfo>
#include <QHash>

namespace {
const char* const kImageProperty = "transportImage";
} // namespace

KZTransportOperationsCell::KZTransportOperationsCell(QWidget* parent) : kit::View(parent) {}

void KZTransportOperationsCell::revealLocalFile(const QString& path, kit::Window* window) {
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        KZToast::showToastWithErrorMessage(window, QStringLiteral("文件不存在，可能已被移动或删除"));
        return;
    }
    kit::workspace::selectFile(path);
}

KZButton* KZTransportOperationsCell::buttonWithImage(const QString& image, std::function<void()> action) {
    auto* b = new KZButton(QRectF(0, 0, kButtonSide, kButtonSide), this);
    b->setTitle(QString());
    setButtonImage(b, image);
    b->setAction(this, [action = std::move(action)](KZButton*) { action(); });
    return b;
}

void KZTransportOperationsCell::setButtonImage(KZButton* button, const QString& image) {
    if (imageName(button) == image)
        return;
    button->setProperty(kImageProperty, image);
    button->setImage(buttonImage(image));
}

const QImage& KZTransportOperationsCell::buttonImage(const QString& name) {
    // Scaled once per name: every row of a long list has these buttons.
    static QHash<QString, QImage> scaled;
    auto it = scaled.find(name);
    if (it == scaled.end())
        it = scaled.insert(name, kit::Image::named(name).scaledToFit(QSizeF(16, 16)).toImage());
    return *it;
}

QString KZTransportOperationsCell::imageName(const KZButton* button) {
    return button ? button->property(kImageProperty).toString() : QString();
}

bool KZTransportOperationsCell::applyStatus(qint32 status) {
    setButtonImage(m_taskStartButton, status == KZTransportJobStatusError ? QStringLiteral("transport_retry")
                                      : status == KZTransportJobStatusPaused
                                          ? QStringLiteral("transport_play")
                                          : QStringLiteral("transport_pause"));
    m_taskStartButton->setHidden(status == KZTransportJobStatusFinished);
    setButtonImage(m_taskDeleteButton, status == KZTransportJobStatusFinished
                                           ? QStringLiteral("share_delete")
                                           : QStringLiteral("transport_delete"));
    return status != KZTransportJobStatusError && status != KZTransportJobStatusPaused;
}

void KZTransportOperationsCell::ask(const QObject* proxy, const QString& title, const QString& text,
                                    const QString& confirm, bool warning, std::function<void()> onConfirm,
                                    std::function<void()> onDismiss) {
    KZTransportAlert::ask(proxy, title, text, confirm,
                          warning ? KZAlertActionStyleWarning : KZAlertActionStylePrimary,
                          std::move(onConfirm), std::move(onDismiss));
}

void KZTransportOperationsCell::layout() {
    double left = kFirstButtonLeft;
    for (KZButton* b : {m_taskStartButton, m_taskDeleteButton, m_showInFinderButton}) {
        if (!b)
            continue;
        b->setFrame(QRectF(left, height() * 0.5 - kButtonSide / 2, kButtonSide, kButtonSide));
        if (!b->isHidden())
            left = b->right() + kButtonGap;
    }
}
