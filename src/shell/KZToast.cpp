#include "KZToast.h"

#include "KZStyle.h"
#include "foundation/Dispatch.h"
#include "kit/Image.h"
#include "kit/View.h"
#include "kit/Window.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>

namespace {
constexpr qreal kIconSize = 20;
constexpr qreal kPaddingH = 20;
constexpr qreal kPaddingV = 12;
constexpr qreal kIconGap = 8;
} // namespace

KZToastView::KZToastView(QWidget* host) : QWidget(host) {
    setObjectName(QStringLiteral("KZToastView"));
    m_effect = new QGraphicsOpacityEffect(this);
    m_effect->setOpacity(0);
    setGraphicsEffect(m_effect);
    m_fade = new QPropertyAnimation(m_effect, "opacity", this);
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, [this] { dismiss(true); });
    host->installEventFilter(this);
    setGeometry(host->rect());
}

QString KZToastView::iconName() const {
    switch (m_style) {
    case Style::Error:
        return QStringLiteral("toast_fail_icon");
    case Style::Success:
        return QStringLiteral("toast_success_icon");
    case Style::Warning:
        return QStringLiteral("toast_warning_icon");
    case Style::Plain:
        break;
    }
    return {};
}

double KZToastView::opacity() const {
    return m_effect->opacity();
}

void KZToastView::present(const QString& text, Style style, bool userInterfaceEnable, bool autoHide) {
    m_text = text;
    m_style = style;
    m_autoHide = autoHide;
    m_hiding = false;
    m_hideTimer.stop();
    setAttribute(Qt::WA_TransparentForMouseEvents, userInterfaceEnable);
    setGeometry(parentWidget()->rect());
    raise();
    show();
    update();

    m_fade->stop();
    disconnect(m_fade, &QPropertyAnimation::finished, this, nullptr);
    const double from = m_effect->opacity();
    auto appeared = [this] {
        if (m_autoHide)
            m_hideTimer.start(kAutoHideAfterMs);
    };
    if (from >= 1.0) {
        appeared();
        return;
    }
    m_fade->setDuration(qMax(1, int(kFadeInMs * (1.0 - from))));
    m_fade->setStartValue(from);
    m_fade->setEndValue(1.0);
    connect(m_fade, &QPropertyAnimation::finished, this, appeared);
    m_fade->start();
}

void KZToastView::dismiss(bool animated) {
    m_hideTimer.stop();
    m_fade->stop();
    disconnect(m_fade, &QPropertyAnimation::finished, this, nullptr);
    // Leaves the view at once, so that a toast asked for meanwhile gets a fresh one.
    setObjectName(QString());
    if (!animated) {
        deleteLater();
        hide();
        return;
    }
    m_hiding = true;
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    m_fade->setDuration(kFadeOutMs);
    m_fade->setStartValue(m_effect->opacity());
    m_fade->setEndValue(0.0);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        hide();
        deleteLater();
    });
    m_fade->start();
}

QRectF KZToastView::bubbleRect() const {
    const QFont font = KZStyle::fontOfSize(14);
    const QFontMetricsF fm(font);
    const qreal maxText = qMax<qreal>(40, width() - 2 * kPaddingH - 40);
    const QRectF textRect = fm.boundingRect(QRectF(0, 0, maxText, 1e6), Qt::TextWordWrap, m_text);
    const bool icon = m_style != Style::Plain;
    const qreal w = textRect.width() + 2 * kPaddingH + (icon ? kIconSize + kIconGap : 0);
    const qreal h = qMax(textRect.height(), icon ? kIconSize : 0) + 2 * kPaddingV;
    return QRectF((width() - w) / 2, (height() - h) / 2, w, h);
}

void KZToastView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bubble = bubbleRect();
    const bool plain = m_style == Style::Plain;
    p.setPen(plain ? Qt::NoPen : QPen(KZStyle::separatorColor(), 1));
    p.setBrush(plain ? QColor(0, 0, 0, 190) : QColor(Qt::white));
    p.drawRoundedRect(bubble.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    qreal x = bubble.left() + kPaddingH;
    if (!plain) {
        const kit::Image icon = kit::Image::named(iconName());
        if (!icon.isNull())
            p.drawImage(QRectF(x, bubble.center().y() - kIconSize / 2, kIconSize, kIconSize), icon.toImage());
        x += kIconSize + kIconGap;
    }
    p.setFont(KZStyle::fontOfSize(14));
    p.setPen(plain ? QColor(Qt::white) : KZStyle::titleColor());
    p.drawText(
        QRectF(x, bubble.top() + kPaddingV, bubble.right() - kPaddingH - x, bubble.height() - 2 * kPaddingV),
        Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, m_text);
}

bool KZToastView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

KZToastView* KZToast::toastOf(const QWidget* view) {
    if (!view)
        return nullptr;
    return view->findChild<KZToastView*>(QStringLiteral("KZToastView"), Qt::FindDirectChildrenOnly);
}

namespace {
KZToast::PresentHook& presentHook() {
    static KZToast::PresentHook hook;
    return hook;
}
} // namespace

void KZToast::setPresentHook(PresentHook hook) {
    presentHook() = std::move(hook);
}

void KZToast::show(QWidget* view, const QString& text, KZToastView::Style style, bool userInterfaceEnable,
                   bool autoHide) {
    if (!view)
        return;
    KZToastView* toast = toastOf(view);
    if (!toast)
        toast = new KZToastView(view);
    toast->present(text, style, userInterfaceEnable, autoHide);
    if (presentHook())
        presentHook()(view, text);
}

void KZToast::showLater(QWidget* view, const QString& text, KZToastView::Style style, double delay) {
    if (!view)
        return;
    const int ms = delay > 0 ? int(delay * 1000.0) : 0;
    QPointer<QWidget> guard(view);
    nubo::runAfter(
        ms,
        [guard, text, style] {
            if (guard)
                show(guard, text, style, true, true);
        },
        view);
}

void KZToast::showToast(QWidget* view, const QString& text) {
    show(view, text, KZToastView::Style::Plain, true, true);
}
void KZToast::showToast(QWidget* view, const QString& text, bool userInterfaceEnable) {
    show(view, text, KZToastView::Style::Plain, userInterfaceEnable, true);
}
void KZToast::showToast(QWidget* view, const QString& text, bool userInterfaceEnable, bool autoHide) {
    show(view, text, KZToastView::Style::Plain, userInterfaceEnable, autoHide);
}
void KZToast::showToastWithErrorMessage(QWidget* view, const QString& text) {
    show(view, text, KZToastView::Style::Error, true, true);
}
void KZToast::showToastWithSucessMessage(QWidget* view, const QString& text) {
    show(view, text, KZToastView::Style::Success, true, true);
}
void KZToast::showToastWithWarningMessage(QWidget* view, const QString& text) {
    show(view, text, KZToastView::Style::Warning, true, true);
}
void KZToast::showToastAfterDelay(QWidget* view, const QString& text, double delay) {
    showLater(view, text, KZToastView::Style::Plain, delay);
}
void KZToast::showToastWithErrorMessageAfterDelay(QWidget* view, const QString& text, double delay) {
    showLater(view, text, KZToastView::Style::Error, delay);
}
void KZToast::showToastWithSucessMessageAfterDelay(QWidget* view, const QString& text, double delay) {
    showLater(view, text, KZToastView::Style::Success, delay);
}
void KZToast::hideToast(QWidget* view, bool animated) {
    if (KZToastView* toast = toastOf(view))
        toast->dismiss(animated);
}

QWidget* KZToast::contentOf(kit::Window* window) {
    return window ? window->contentView() : nullptr;
}

void KZToast::showToast(kit::Window* window, const QString& text) {
    showToast(contentOf(window), text);
}
void KZToast::showToast(kit::Window* window, const QString& text, bool userInterfaceEnable, bool autoHide) {
    showToast(contentOf(window), text, userInterfaceEnable, autoHide);
}
void KZToast::showToastWithErrorMessage(kit::Window* window, const QString& text) {
    showToastWithErrorMessage(contentOf(window), text);
}
void KZToast::showToastWithErrorMessageAfterDelay(kit::Window* window, const QString& text, double delay) {
    showToastWithErrorMessageAfterDelay(contentOf(window), text, delay);
}
void KZToast::showToastWithSucessMessage(kit::Window* window, const QString& text) {
    showToastWithSucessMessage(contentOf(window), text);
}
void KZToast::showToastWithSucessMessageAfterDelay(kit::Window* window, const QString& text, double delay) {
    showToastWithSucessMessageAfterDelay(contentOf(window), text, delay);
}
