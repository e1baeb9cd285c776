#include "KZMessageSet.h"

#include "KZButton.h"
#include "KZStyle.h"
#include "KZToast.h"
#include "KZTools.h"
#include "KZURLHandler.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Weak.h"

#include <QEvent>
#include <QPainter>

namespace {
constexpr qreal kGap = 12;
constexpr qreal kButtonGap = 16;

// The per-view state, a child object of the view so it goes with it.
class MessageSetState : public QObject {
public:
    explicit MessageSetState(QWidget* view) : QObject(view) {
        setObjectName(QStringLiteral("KZMessageSetState"));
    }
    nubo::Weak<KZMessageSetViewDelegate> delegate;
    QPointer<KZMessageSetView> overlay;
    QColor background = Qt::white;
};

MessageSetState* stateOf(const QWidget* view, bool create) {
    if (!view)
        return nullptr;
    auto* s =
        view->findChild<MessageSetState*>(QStringLiteral("KZMessageSetState"), Qt::FindDirectChildrenOnly);
    if (!s && create)
        s = new MessageSetState(const_cast<QWidget*>(view));
    return s;
}

kit::AttributedString description(const QString& text, bool plan) {
    return kit::AttributedString(text, plan ? KZStyle::fontOfSize(18) : KZStyle::fontOfSize(14),
                                 plan ? KZStyle::titleColor() : KZStyle::grayTitleColor());
}

KZButton* filledButton(const QString& title, QSizeF size, qreal fontSize) {
    auto* b = new KZButton(QRectF(QPointF(0, 0), size));
    b->setTitle(title);
    b->setCornerRadius(4);
    b->setFont(KZStyle::fontOfSize(fontSize));
    b->setTitleNormalColor(Qt::white);
    b->setBackgroundColor(KZStyle::tabbarTintColor());
    return b;
}
} // namespace

void KZMessageSet::setMessageSetDelegate(QWidget* view, KZMessageSetViewDelegate* delegate) {
    if (MessageSetState* s = stateOf(view, true))
        s->delegate = delegate;
}

KZMessageSetViewDelegate* KZMessageSet::messageSetDelegate(const QWidget* view) {
    MessageSetState* s = stateOf(view, false);
    return s ? s->delegate.get() : nullptr;
}

KZMessageSetView* KZMessageSet::messageSetViewOf(const QWidget* view) {
    MessageSetState* s = stateOf(view, false);
    return s ? s->overlay.data() : nullptr;
}

void KZMessageSet::messageSetViewBackgroundColor(QWidget* view, const QColor& color) {
    MessageSetState* s = stateOf(view, true);
    if (!s)
        return;
    s->background = color;
    if (s->overlay)
        s->overlay->setBackgroundColor(color);
}

void KZMessageSet::reloadMessageSet(QWidget* view) {
    MessageSetState* s = stateOf(view, true);
    if (!s)
        return;
    KZMessageSetViewDelegate* d = s->delegate.get();
    if (!d || !d->messageSetViewShouldDisplay(view)) {
        delete s->overlay.data();
        return;
    }
    QWidget* container = d->containerViewForMessageSetView(view);
    if (!container)
        container = view;
    if (s->overlay && s->overlay->parentWidget() != container)
        delete s->overlay.data();
    if (!s->overlay)
        s->overlay = new KZMessageSetView(container);
    KZMessageSetView* o = s->overlay;
    o->show();
    o->setBackgroundColor(s->background);
    o->setInterceptsEvents(d->messageSetViewShouldInterceptionEvents(view));
    o->setInsets(d->insetsForMessageSetView(view));
    o->setContent(d->imageForMessageSetView(view), d->titleForMessageSetView(view),
                  d->descriptionForMessageSetView(view), d->annotationForMessageSetView(view),
                  d->buttonsForMessageSetView(view));
    o->bringToFront();
}

KZMessageSetView::KZMessageSetView(QWidget* container) : QWidget(container) {
    setObjectName(QStringLiteral("KZMessageSetView"));
    auto label = [this](const QFont& font, const QColor& color) {
        auto* l = new KZLabel(this);
        l->setFont(font);
        l->setTextColor(color);
        l->setTextAlignment(kit::TextAlignment::Center);
        l->setNumberOfLines(0);
        l->setLineBreakMode(kit::LineBreakMode::WordWrap);
        l->hide();
        return l;
    };
    m_title = label(KZStyle::boldFontOfSize(16), KZStyle::titleColor());
    m_description = label(KZStyle::fontOfSize(14), KZStyle::grayTitleColor());
    m_annotation = label(KZStyle::fontOfSize(12), KZStyle::grayTitleColor());
    m_buttonStrip = new QWidget(container);
    container->installEventFilter(this);
    relayout();
}

KZMessageSetView::~KZMessageSetView() {
    delete m_buttonStrip.data();
}

void KZMessageSetView::setContent(const kit::Image& image, const kit::AttributedString& title,
                                  const kit::AttributedString& description,
                                  const kit::AttributedString& annotation, const QList<KZButton*>& buttons) {
    m_image = image;
    const std::pair<KZLabel*, const kit::AttributedString*> labels[] = {
        {m_title, &title}, {m_description, &description}, {m_annotation, &annotation}};
    for (const auto& [l, t] : labels) {
        l->setAttributedText(*t);
        l->setHidden(t->isEmpty());
    }
    for (const QPointer<KZButton>& b : m_buttons)
        if (b && !buttons.contains(b.data()))
            delete b.data();
    m_buttons.clear();
    for (KZButton* b : buttons) {
        if (!b)
            continue;
        b->setParent(m_buttonStrip);
        b->show();
        m_buttons.append(b);
    }
    relayout();
    update();
}

QList<KZButton*> KZMessageSetView::buttons() const {
    QList<KZButton*> out;
    for (const auto& b : m_buttons)
        if (b)
            out.append(b.data());
    return out;
}

void KZMessageSetView::setInsets(const QMargins& insets) {
    m_insets = insets;
    relayout();
}

void KZMessageSetView::setInterceptsEvents(bool intercepts) {
    setAttribute(Qt::WA_TransparentForMouseEvents, !intercepts);
}

void KZMessageSetView::setBackgroundColor(const QColor& color) {
    m_background = color;
    update();
}

void KZMessageSetView::relayout() {
    QWidget* container = parentWidget();
    if (!container)
        return;
    setGeometry(container->rect().marginsRemoved(m_insets));
    const qreal w = width();
    const qreal textWidth = qMax<qreal>(0, w - 40);
    // Heights of the column's parts, then the column centred vertically.
    const QSizeF imageSize = m_image.isNull() ? QSizeF() : m_image.size();
    qreal total = imageSize.height();
    QList<std::pair<KZLabel*, qreal>> shown;
    for (KZLabel* l : {m_title, m_description, m_annotation}) {
        if (l->isHidden())
            continue;
        const qreal h = l->sizeThatFits(QSizeF(textWidth, 0)).height();
        shown.append({l, h});
        total += (total > 0 ? kGap : 0) + h;
    }
    qreal buttonsWidth = 0, buttonsHeight = 0;
    for (KZButton* b : buttons()) {
        buttonsWidth += (buttonsWidth > 0 ? kButtonGap : 0) + b->width();
        buttonsHeight = qMax(buttonsHeight, b->height());
    }
    if (buttonsHeight > 0)
        total += (total > 0 ? 24 : 0) + buttonsHeight;
    qreal y = qMax<qreal>(0, (height() - total) / 2);
    m_imageRect = QRectF((w - imageSize.width()) / 2, y, imageSize.width(), imageSize.height());
    y += imageSize.height();
    for (const auto& [l, h] : shown) {
        y += (y > m_imageRect.top() ? kGap : 0);
        l->setFrame(QRectF(20, y, textWidth, h));
        y += h;
    }
    if (m_buttonStrip) {
        y += buttonsHeight > 0 && y > m_imageRect.top() ? 24 : 0;
        qreal x = 0;
        for (KZButton* b : buttons()) {
            b->setFrameOrigin(QPointF(x, (buttonsHeight - b->height()) / 2));
            x += b->width() + kButtonGap;
        }
        const QPointF origin = geometry().topLeft() + QPointF((w - buttonsWidth) / 2, y);
        m_buttonStrip->setGeometry(QRectF(origin, QSizeF(buttonsWidth, buttonsHeight)).toRect());
        m_buttonStrip->setVisible(buttonsHeight > 0 && !isHidden());
    }
}

void KZMessageSetView::bringToFront() {
    // Above the page's own content, its buttons above it, and a shown toast above everything.
    raise();
    if (m_buttonStrip)
        m_buttonStrip->raise();
    if (QWidget* container = parentWidget())
        if (KZToastView* toast = KZToast::toastOf(container))
            toast->raise();
}

void KZMessageSetView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_background);
    if (!m_image.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(m_imageRect, m_image.toImage());
    }
}

bool KZMessageSetView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget()) {
        if (event->type() == QEvent::Resize)
            relayout();
        else if (event->type() == QEvent::Show || event->type() == QEvent::ChildAdded)
            bringToFront();
    }
    return QWidget::eventFilter(watched, event);
}

kit::AttributedString KZMessageSetModules::emptyFileListDescription() {
    return description(QStringLiteral("您还没有上传过文档哦～"), false);
}
kit::AttributedString KZMessageSetModules::unreadableListDescription(const QString& reason) {
    return description(QStringLiteral("无法读取文件列表：%1").arg(reason), false);
}
kit::AttributedString KZMessageSetModules::unreadableShareListDescription(const QString& reason) {
    return description(QStringLiteral("无法读取分享列表：%1").arg(reason), false);
}
kit::AttributedString KZMessageSetModules::emptySearchResultDescription() {
    return description(QStringLiteral("没有与搜索条件匹配的项"), false);
}
kit::AttributedString KZMessageSetModules::emptyUploadListDescription() {
    return description(QStringLiteral("暂无正在上传的文件"), false);
}
kit::AttributedString KZMessageSetModules::emptyDownloadListDescription() {
    return description(QStringLiteral("暂无正在下载的文件"), false);
}
kit::AttributedString KZMessageSetModules::emptyTransportCompletionListDescription() {
    return description(QStringLiteral("没有正在传输的任务"), false);
}
kit::AttributedString KZMessageSetModules::emptyShareListDescription() {
    return description(QStringLiteral("分享链接是空的，快去分享文件吧"), false);
}
kit::AttributedString KZMessageSetModules::emptyInvalidShareListDescription() {
    return description(QStringLiteral("暂无失效链接"), false);
}
kit::AttributedString KZMessageSetModules::personalOverdueDescription() {
    return description(QStringLiteral("您尚未购买服务套餐"), true);
}
kit::AttributedString KZMessageSetModules::adminOverdueDescription() {
    return description(QStringLiteral("您的企业尚未购买服务套餐"), true);
}
kit::AttributedString KZMessageSetModules::memberOverdueDescription() {
    return description(QStringLiteral("您的套餐已过期, 请联系管理员续费"), true);
}

QList<KZButton*> KZMessageSetModules::uploadFilesButtons() {
    KZButton* b = filledButton(QStringLiteral("上传文件"), QSizeF(116, 36), 12);
    b->setAction(b,
                 [](KZButton*) { nubo::NotificationCenter::defaultCenter().post(kUploadFilesNotification); });
    return {b};
}

QList<KZButton*> KZMessageSetModules::overdueButtons() {
    KZButton* b = filledButton(QStringLiteral("去购买"), QSizeF(102, 36), 14);
    b->setAction(b, [](KZButton*) {
        if (KZTools::isNetworkPaused())
            return;
        KZURLHandler::openPackageURL();
    });
    return {b};
}
