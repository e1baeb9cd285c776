#include "KZHomeToolbarController.h"

#include "shell/KZLabel.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"

#include <QPainter>

namespace {
// Places the two labels: the middle one centred, the right one against the right edge.
class ToolbarView : public kit::View {
public:
    KZLabel* middle = nullptr;
    KZLabel* right = nullptr;
    void layout() override {
        const qreal w = width(), h = height();
        if (right)
            right->setFrame(QRectF(w * 0.65, 0, w * 0.35 - 16, h));
        if (middle)
            middle->setFrame(QRectF(w * 0.2, 0, w * 0.45, h));
    }

protected:
    void draw(QPainter& p) override { p.fillRect(QRectF(0, 0, width(), 1), KZStyle::separatorColor()); }
};
} // namespace

void KZHomeToolbarController::registerWithRouter() {
    KZInitializer init(kClassName, [](const QVariantMap&) { return new KZHomeToolbarController; });
    init.setLongLife(true);
    KZRouter::shareInstance().registerEntityInitializer(init);
}

KZHomeToolbarController::KZHomeToolbarController(QObject* parent) : KZBaseViewController(parent) {}

void KZHomeToolbarController::loadView() {
    auto* v = new ToolbarView;
    v->setCustomBackgroundColor(Qt::white);
    v->setFixedHeight(int(kHeight));
    auto label = [v](kit::TextAlignment a) {
        auto* l = new KZLabel(v);
        l->setFont(KZStyle::subTitleFont());
        l->setTextColor(KZStyle::grayTitleColor());
        l->setTextAlignment(a);
        return l;
    };
    v->middle = label(kit::TextAlignment::Center);
    v->right = label(kit::TextAlignment::Right);
    m_middleLabel = v->middle;
    m_rightLabel = v->right;
    setView(v);
    refresh();
}

QString KZHomeToolbarController::middleText() const {
    QStringList parts;
    for (const QString& s : {m_upload, m_download})
        if (!s.isEmpty())
            parts.append(s);
    return parts.join(QStringLiteral("    "));
}

void KZHomeToolbarController::refresh() {
    if (m_middleLabel)
        m_middleLabel->setText(middleText());
    if (m_rightLabel)
        m_rightLabel->setText(m_right);
}

void KZHomeToolbarController::showMessageInRightArea(const QString& text) {
    m_right = text;
    refresh();
}

void KZHomeToolbarController::showUploadMessageInMiddleArea(const QString& text) {
    m_upload = text;
    refresh();
}

void KZHomeToolbarController::showDownloadMessageInMiddleArea(const QString& text) {
    m_download = text;
    refresh();
}
