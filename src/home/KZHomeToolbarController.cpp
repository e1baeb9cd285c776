#include "KZHomeToolbarController.h"

#include "shell/KZLabel.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"

#include <QPainter>
#include <algorithm>

namespace {
// Places the two labels: the middle one centred, the right one against the right edge. While no
// transfer message is shown the right text may take the whole bar, so that the file page's status
// of a file with a long name still ends with its modification date.
class ToolbarView : public kit::View {
public:
    KZLabel* middle = nullptr;
    KZLabel* right = nullptr;
    void layout() override {
        const qreal w = width(), h = height();
        const bool middleShown = middle && !middle->text().isEmpty();
        if (right) {
            const qreal left = middleShown ? w * 0.65 : 16;
            right->setFrame(QRectF(left, 0, std::max<qreal>(0, w - 16 - left), h));
        }
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
    // A status ends with what matters most (a date, a count); a name too long for the bar gives
    // way in its middle.
    v->right->setLineBreakMode(kit::LineBreakMode::TruncateMiddle);
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
    if (isViewLoaded())
        view()->layout(); // the right area's width follows the middle text
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
