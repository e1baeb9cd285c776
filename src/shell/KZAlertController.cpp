#include "KZAlertController.h"

#include "KZButton.h"
#include "KZCheckBoxButton.h"
#include "KZLabel.h"
#include "KZStyle.h"
#include "kit/Image.h"
#include "kit/View.h"

#include <QPainter>

namespace {
constexpr qreal kWidth = 420;
constexpr qreal kMargin = 24;
constexpr qreal kIcon = 48;
constexpr qreal kButtonHeight = 32;
constexpr qreal kButtonGap = 12;

// Draws a named image scaled into its bounds.
class IconView : public kit::View {
public:
    using kit::View::View;
    QString name;

protected:
    void draw(QPainter& p) override {
        const kit::Image image = kit::Image::named(name);
        if (!image.isNull()) {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(bounds(), image.toImage());
        }
    }
};
} // namespace

KZAlertController::KZAlertController(const QString& windowTitle, const QString& title, const QString& message)
    : KZBaseWindowController(QStringLiteral("KZAlertController")), m_windowTitle(windowTitle), m_title(title),
      m_message(message) {}

KZAlertController* KZAlertController::alertControllerWithTitle(const QString& title, const QString& message) {
    return new KZAlertController(QString(), title, message);
}

KZAlertController* KZAlertController::alertControllerWithWindowTitle(const QString& windowTitle,
                                                                     const QString& title,
                                                                     const QString& message) {
    return new KZAlertController(windowTitle, title, message);
}

void KZAlertController::addAction(const KZAlertAction& action) {
    m_actions.append(action);
    if (action.style() == KZAlertActionStyleWarning)
        m_iconName = QStringLiteral("alert_warning");
    rebuild();
}

void KZAlertController::setSuppressionText(const QString& text) {
    m_suppressionText = text;
    rebuild();
}

void KZAlertController::setShowsSuppressionButton(bool shows) {
    m_showsSuppression = shows;
    rebuild();
}

bool KZAlertController::suppressionButtonChecked() const {
    return m_suppression && m_suppression->checked();
}

void KZAlertController::setShowWindowCloseButton(bool shows) {
    m_showsClose = shows;
    if (isWindowLoaded())
        windowDidLoad();
}

void KZAlertController::loadWindow() {
    auto* w = new kit::Window;
    w->setContentView(new kit::View);
    setWindow(w);
}

void KZAlertController::windowDidLoad() {
    KZBaseWindowController::windowDidLoad();
    kit::Window* w = window();
    // A question without a window title of its own is named by its bold text (else its message),
    // not by the program's name.
    w->setTitle(!m_windowTitle.isEmpty() ? m_windowTitle : !m_title.isEmpty() ? m_title : m_message);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_showsClose)
        flags |= Qt::WindowCloseButtonHint;
    w->setWindowFlags(flags);
    kit::View* content = w->contentView();
    content->setCustomBackgroundColor(Qt::white);
    // An edge of its own: without a window manager's frame the question would melt into the
    // white page it sits on.
    content->setBorderColor(KZStyle::lightGrayColor());
    content->setBorderWidth(1);
    if (!m_iconView) {
        auto* icon = new IconView(content);
        m_iconView = icon;
        m_titleLabel = new KZLabel(content);
        m_titleLabel->setFont(KZStyle::boldFontOfSize(16));
        m_titleLabel->setTextColor(KZStyle::titleColor());
        m_titleLabel->setNumberOfLines(0);
        m_titleLabel->setLineBreakMode(kit::LineBreakMode::WordWrap);
        m_messageLabel = new KZLabel(content);
        m_messageLabel->setFont(KZStyle::fontOfSize(14));
        m_messageLabel->setTextColor(KZStyle::grayTitleColor());
        m_messageLabel->setNumberOfLines(0);
        m_messageLabel->setLineBreakMode(kit::LineBreakMode::WordWrap);
        m_suppression = new KZCheckBoxButton(content);
    }
    rebuild();
}

void KZAlertController::rebuild() {
    if (!isWindowLoaded() || !m_iconView)
        return;
    static_cast<IconView*>(m_iconView.data())->name = m_iconName;
    m_iconView->setFrame(QRectF(kMargin, kMargin, kIcon, kIcon));
    m_iconView->update();

    const qreal textLeft = kMargin + kIcon + 16;
    const qreal textWidth = kWidth - textLeft - kMargin;
    qreal y = kMargin;
    // An empty title or message takes no room.
    auto placeText = [&](KZLabel* label, const QString& text) {
        label->setText(text);
        label->setHidden(text.isEmpty());
        if (text.isEmpty())
            return;
        const QSizeF s = label->sizeThatFits(QSizeF(textWidth, 0));
        label->setFrame(QRectF(textLeft, y, textWidth, s.height()));
        y += s.height() + 8;
    };
    placeText(m_titleLabel, m_title);
    placeText(m_messageLabel, m_message);
    m_suppression->setTitle(m_suppressionText);
    m_suppression->setHidden(!m_showsSuppression);
    if (m_showsSuppression) {
        m_suppression->setFrame(QRectF(textLeft, y, textWidth, 20));
        m_suppression->sizeToFit(textWidth);
        y += 28;
    }
    y = qMax(y, kMargin + kIcon) + 16;
    rebuildButtons(y);
    if (!m_actions.isEmpty())
        y += kButtonHeight;
    window()->setFixedSize(int(kWidth), int(y + kMargin));
}

// One button an action, right-aligned in a row at `y`, each as wide as its title needs.
void KZAlertController::rebuildButtons(qreal y) {
    kit::View* content = window()->contentView();
    for (const QPointer<KZButton>& b : m_buttons)
        delete b.data();
    m_buttons.clear();
    const QFont font = KZStyle::fontOfSize(14);
    const QFontMetricsF fm(font);
    QList<qreal> widths;
    qreal total = 0;
    for (const KZAlertAction& a : m_actions) {
        widths.append(qMax<qreal>(80, fm.horizontalAdvance(a.title()) + 32));
        total += widths.last();
    }
    total += kButtonGap * qMax<qsizetype>(0, m_actions.size() - 1);
    qreal x = kWidth - kMargin - total;
    for (int i = 0; i < m_actions.size(); ++i) {
        const KZAlertAction& a = m_actions[i];
        auto* b = new KZButton(QRectF(x, y, widths[i], kButtonHeight), content);
        b->setTitle(a.title());
        b->setFont(font);
        b->setCornerRadius(4);
        switch (a.style()) {
        case KZAlertActionStylePrimary:
            b->setBackgroundColor(KZStyle::themeColor());
            b->setTitleNormalColor(Qt::white);
            break;
        case KZAlertActionStyleWarning:
            b->setBackgroundColor(KZStyle::warningColor());
            b->setTitleNormalColor(Qt::white);
            break;
        case KZAlertActionStyleCancel:
            b->setBackgroundColor(Qt::white);
            b->setBorderColor(KZStyle::lightGray3Color());
            b->setBorderWidth(1);
            b->setTitleNormalColor(KZStyle::titleColor());
            break;
        }
        b->setAction(this, [this, i](KZButton*) { press(i); });
        b->show();
        m_buttons.append(b);
        x += widths[i] + kButtonGap;
    }
}

void KZAlertController::press(int index) {
    if (index < 0 || index >= m_actions.size())
        return;
    const KZAlertAction action = m_actions[index];
    QPointer<KZAlertController> self(this);
    if (action.handler())
        action.handler()(action);
    if (self)
        closeWindow();
}

void KZAlertController::cancel() {
    for (qsizetype i = m_actions.size() - 1; i >= 0; --i)
        if (m_actions[i].style() == KZAlertActionStyleCancel) {
            press(int(i));
            return;
        }
    closeWindow();
}

void KZAlertController::windowCancel(kit::Window*) {
    cancel();
}

QList<KZButton*> KZAlertController::buttons() {
    window();
    QList<KZButton*> out;
    for (const auto& b : m_buttons)
        if (b)
            out.append(b.data());
    return out;
}

KZLabel* KZAlertController::titleLabel() {
    window();
    return m_titleLabel;
}

KZLabel* KZAlertController::messageLabel() {
    window();
    return m_messageLabel;
}

KZCheckBoxButton* KZAlertController::suppressionButton() {
    window();
    return m_suppression;
}

void KZAlertController::windowDidDisappear() {
    deleteLater();
}
