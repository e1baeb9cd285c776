#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QLabel;
namespace kit {
class Window;
}

// The one toast a view shows: it covers the view (catching clicks when interaction is off) and
// draws a bubble with an optional icon and a text in its middle.
class KZToastView : public QWidget {
    Q_OBJECT
public:
    enum class Style { Plain, Error, Success, Warning };

    QString text() const { return m_text; }
    Style style() const { return m_style; }
    QString iconName() const;
    bool autoHides() const { return m_autoHide; }
    bool blocksInteraction() const { return !testAttribute(Qt::WA_TransparentForMouseEvents); }
    bool isHideScheduled() const { return m_hideTimer.isActive(); }
    bool isHiding() const { return m_hiding; }
    double opacity() const;
    QRectF bubbleRect() const;

    static constexpr int kFadeInMs = 300;
    static constexpr int kAutoHideAfterMs = 1000;
    static constexpr int kFadeOutMs = 300;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class KZToast;
    explicit KZToastView(QWidget* host);
    void present(const QString& text, Style style, bool userInterfaceEnable, bool autoHide);
    void dismiss(bool animated);

    QString m_text;
    Style m_style = Style::Plain;
    bool m_autoHide = true;
    bool m_hiding = false;
    QTimer m_hideTimer;
    QGraphicsOpacityEffect* m_effect = nullptr;
    QPropertyAnimation* m_fade = nullptr;
};

// Toasts on any view and on any window (shown on its content view). Main thread only.
class KZToast {
public:
    // A plain toast that hides itself; the view stays usable.
    static void showToast(QWidget* view, const QString& text);
    static void showToast(QWidget* view, const QString& text, bool userInterfaceEnable);
    // With interaction off and no auto-hide: a blocking toast that stays until the next toast
    // or hideToast replaces it.
    static void showToast(QWidget* view, const QString& text, bool userInterfaceEnable, bool autoHide);
    static void showToastWithErrorMessage(QWidget* view, const QString& text);
    static void showToastWithSucessMessage(QWidget* view, const QString& text);
    static void showToastWithWarningMessage(QWidget* view, const QString& text);
    // The same toasts after a delay in seconds; dropped when the view goes first.
    static void showToastAfterDelay(QWidget* view, const QString& text, double delay);
    static void showToastWithErrorMessageAfterDelay(QWidget* view, const QString& text, double delay);
    static void showToastWithSucessMessageAfterDelay(QWidget* view, const QString& text, double delay);
    static void hideToast(QWidget* view, bool animated);

    static void showToast(kit::Window* window, const QString& text);
    static void showToast(kit::Window* window, const QString& text, bool userInterfaceEnable, bool autoHide);
    static void showToastWithErrorMessage(kit::Window* window, const QString& text);
    static void showToastWithErrorMessageAfterDelay(kit::Window* window, const QString& text, double delay);
    static void showToastWithSucessMessage(kit::Window* window, const QString& text);
    static void showToastWithSucessMessageAfterDelay(kit::Window* window, const QString& text, double delay);

    // The toast the view shows now, or null.
    static KZToastView* toastOf(const QWidget* view);
    // Called with the host view and the text of every toast presented, so that tests can read
    // toasts that have already hidden themselves. Empty by default.
    using PresentHook = std::function<void(const QWidget* view, const QString& text)>;
    static void setPresentHook(PresentHook hook);

private:
    static void show(QWidget* view, const QString& text, KZToastView::Style style, bool userInterfaceEnable,
                     bool autoHide);
    static void showLater(QWidget* view, const QString& text, KZToastView::Style style, double delay);
    static QWidget* contentOf(kit::Window* window);
};
