#include "ui/files/KZFileInfoItemView.h"

#include "foundation/NotificationCenter.h"
#include "kit/ImageView.h"
#include "kit/Window.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZTextFieldCell.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "ui/files/KZCollectionView.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileRowView.h"
#include "ui/files/KZSearchHighlight.h"
#include "ui/files/KZThumbnails.h"

#include <QPointer>
#include <cmath>

namespace {
constexpr double kContainerTop = 10;
constexpr double kNameGap = 4;

// The tile: lays the item's parts out whenever its size changes.
class KZFileInfoItemTile : public kit::CollectionItemView {
public:
    KZFileInfoItemTile(KZFileInfoItemView* item, std::function<void()> onLayout)
        : kit::CollectionItemView(item), m_onLayout(std::move(onLayout)) {}

protected:
    void layout() override {
        if (m_onLayout)
            m_onLayout();
    }

private:
    std::function<void()> m_onLayout;
};
} // namespace

QSizeF KZFileInfoItemView::nameBoxForFittedSize(const QSizeF& fitted) {
    const double w = std::ceil(fitted.width());
    return QSizeF(w > 72 ? kNameMaxWidth : w + 14, std::ceil(fitted.height()) + 2);
}

KZFileInfoItemView::KZFileInfoItemView(QObject* parent) : kit::CollectionViewItem(parent) {
    auto& center = nubo::NotificationCenter::defaultCenter();
    center.addObserver(this, KZFileRowView::kDidDropInApplication,
                       [this](const nubo::Notification&) { m_draggingOutsideFiles = false; });
    center.addObserver(this, KZFileRowView::kWillDropInApplication,
                       [this](const nubo::Notification&) { m_draggingOutsideFiles = true; });
}

KZFileInfoItemView::~KZFileInfoItemView() {
    nubo::NotificationCenter::defaultCenter().removeObserver(this);
    cancelLoadImage();
}

void KZFileInfoItemView::loadView() {
    auto* tile = new KZFileInfoItemTile(this, [this] { layoutTile(); });
    tile->setCornerRadius(6);
    tile->setCustomBackgroundColor(Qt::white);

    m_iconContainer = new kit::View;
    m_iconContainer->setCornerRadius(8);
    m_iconContainer->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_iconLayer = new kit::ImageView;
    m_iconLayer->setImageScaling(kit::ImageScaling::AspectFill);
    m_iconContainer->addSubview(m_iconLayer);

    m_fileNameLabel = new KZLabel;
    m_fileNameLabel->setFont(KZStyle::fontOfSize(12));
    m_fileNameLabel->setTextColor(KZStyle::darkGray2Color());
    m_fileNameLabel->setNumberOfLines(2);
    m_fileNameLabel->setTextAlignment(kit::TextAlignment::Center);
    m_fileNameLabel->setLineBreakMode(kit::LineBreakMode::TruncateMiddle);
    m_fileNameLabel->setCornerRadius(4);
    m_fileNameLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_fileNameTextField = new KZTextFieldCell;
    m_fileNameTextField->setFont(KZStyle::fontOfSize(12));
    m_fileNameTextField->setTextColor(KZStyle::darkGray2Color());
    m_fileNameTextField->setAlignment(kit::TextAlignment::Center);
    m_fileNameTextField->setCustomBackgroundColor(Qt::white);
    m_fileNameTextField->setBorderWidth(1);
    m_fileNameTextField->setBorderColor(KZStyle::separatorColor());
    m_fileNameTextField->setCornerRadius(4);
    m_fileNameTextField->setEditable(true);
    m_fileNameTextField->setMaximumNumberOfLines(2);
    m_fileNameTextField->setDelegate(this);
    m_formatter = std::make_shared<KZLimitedCharactersFormatter>();
    m_formatter->setDelegate(this);
    m_fileNameTextField->setFormatter(m_formatter);
    m_fileNameTextField->setHidden(true);

    tile->addSubview(m_iconContainer);
    tile->addSubview(m_fileNameLabel);
    tile->addSubview(m_fileNameTextField);
    m_fileNameTextField->hide();
    tile->setFrameSize(tileSize());
    setView(tile);
    layoutTile();
}

void KZFileInfoItemView::layoutTile() {
    if (!m_iconContainer)
        return;
    const double w = view()->width();
    m_iconContainer->setFrame(
        QRectF(std::round((w - kContainerSide) / 2), kContainerTop, kContainerSide, kContainerSide));
    const double inset = std::ceil((m_iconContainer->width() - kIconSide) / 2);
    m_iconLayer->setFrame(QRectF(inset, inset, kIconSide, kIconSide));
    layoutLabels();
}

void KZFileInfoItemView::setFileInfo(const CloudFileInfoPtr& fileInfo) {
    view();
    m_fileInfo = fileInfo;
    const QString name = fileInfo ? fileInfo->name() : QString();
    m_fileNameLabel->setText(name);
    m_fileNameTextField->setStringValue(name);
    m_labelSize = QSizeF();
}

QSizeF KZFileInfoItemView::labelSize() {
    const QString name = m_fileNameLabel->text();
    if (m_labelSize.isEmpty()) {
        const auto it = m_labelSizeCache.constFind(name);
        if (it != m_labelSizeCache.constEnd()) {
            m_labelSize = *it;
        } else {
            m_labelSize =
                nameBoxForFittedSize(m_fileNameLabel->sizeThatFits(QSizeF(kNameMaxWidth, kNameMaxHeight)));
            m_labelSizeCache.insert(name, m_labelSize);
        }
    }
    return m_labelSize;
}

QRectF KZFileInfoItemView::namePlacement(const QSizeF& size) const {
    return QRectF(std::round((m_iconContainer->parentWidget()->width() - size.width()) / 2),
                  m_iconContainer->bottom() + kNameGap, size.width(), size.height());
}

void KZFileInfoItemView::layoutLabels() {
    view();
    if (!m_fileInfo)
        return;
    const QRectF r = namePlacement(labelSize());
    m_fileNameLabel->setFrame(r);
    if (!m_fileNameTextField->isEditing())
        m_fileNameTextField->setFrame(r);
}

void KZFileInfoItemView::makeWordsHighlight(const QString& searchText) {
    m_highlightWords = searchText;
    if (!m_fileInfo || searchText.isEmpty())
        return;
    kit::AttributedString text(m_fileInfo->name());
    // On the blue of a marked tile the hits' red would be unreadable: the name stays white.
    if (!m_marked)
        for (const auto& [start, length] : KZSearchHighlight::ranges(m_fileInfo->name(), searchText))
            text.setColor(KZStyle::warningColor(), start, length);
    m_fileNameLabel->setAttributedText(text);
}

// ---- thumbnails

kit::Image KZFileInfoItemView::thumbInMemory() const {
    return KZThumbnails::cached(m_fileInfo);
}

void KZFileInfoItemView::loadImage() {
    if (!m_fileInfo)
        return;
    const kit::Image thumb = thumbInMemory();
    if (!thumb.isNull()) {
        cancelLoadImage();
        setImage(thumb);
        return;
    }
    setImage(KZTools::getDefaultIconForFileInfo(m_fileInfo));
    loadImageFromCacheOnly(false);
}

void KZFileInfoItemView::loadImageFromCacheOnly(bool fromCacheOnly) {
    KZThumbnails::request(this, m_fileInfo, kThumbSide, fromCacheOnly, m_reqID);
}

void KZFileInfoItemView::cancelLoadImage() {
    KZThumbnails::cancel(m_reqID);
}

void KZFileInfoItemView::setImage(const kit::Image& image) {
    view();
    m_iconLayer->setImage(image);
}

kit::Image KZFileInfoItemView::image() const {
    return m_iconLayer ? m_iconLayer->image() : kit::Image();
}

void KZFileInfoItemView::kzSessionRequestThumb(KZAbstractSession*, qint64 requestId, const QByteArray& thumb,
                                               qint64 nid, const QVariantMap&) {
    // A reused item ignores the answer for its former record.
    KZThumbnails::accept(this, m_fileInfo, requestId, nid, thumb, m_reqID,
                         [this, nid](const kit::Image& image) {
                             if (m_fileInfo && m_fileInfo->nid() == nid)
                                 setImage(image);
                         });
}

void KZFileInfoItemView::kzSessionRequestThumbFail(KZAbstractSession*, qint64 requestId, qint64,
                                                   const QVariantMap&, const BWError&) {
    if (requestId == m_reqID)
        m_reqID = 0;
}

// ---- renaming

QString KZFileInfoItemView::textFieldContent() const {
    return m_fileNameTextField ? m_fileNameTextField->stringValue() : QString();
}

void KZFileInfoItemView::focus() {
    view();
    m_fileNameLabel->setHidden(true);
    m_fileNameTextField->setHidden(false);
    m_fileNameTextField->raise();
    const QString name = m_fileInfo ? m_fileInfo->name() : QString();
    if (kit::Window* w = view()->kitWindow())
        w->makeFirstResponder(m_fileNameTextField);
    m_fileNameTextField->setStringValue(name);
    controlTextDidChange(m_fileNameTextField);
    m_fileNameTextField->selectRange(0, KZFileInfoCell::editableNameLength(name));
}

void KZFileInfoItemView::unfocus() {
    view();
    m_fileNameLabel->setHidden(false);
    m_fileNameTextField->setHidden(true);
    if (kit::Window* w = view()->kitWindow())
        w->makeFirstResponder(nullptr);
    const QString name = m_fileNameTextField->stringValue();
    m_fileNameLabel->setText(name);
    if (m_fileInfo)
        m_fileInfo->setName(name);
    m_fileNameLabel->setFrame(m_fileNameTextField->frame());
}

void KZFileInfoItemView::abandonEditing() {
    if (!m_fileNameTextField || !m_fileNameTextField->isEditing())
        return;
    m_abandoning = true;
    m_fileNameTextField->setStringValue(m_fileInfo ? m_fileInfo->name() : QString());
    if (kit::Window* w = view()->kitWindow())
        w->makeFirstResponder(nullptr);
    else
        m_fileNameTextField->resignFirstResponder();
    m_abandoning = false;
}

void KZFileInfoItemView::didInputLimitedCharacter(KZLimitedCharactersFormatter*) {
    KZWindowsManager::shareInstance().showWarningToast(KZFileInfoCell::kLimitedCharacterWarning);
}

void KZFileInfoItemView::controlTextDidChange(kit::TextField*) {
    // The field grows with its text up to the largest name box (two lines), centred under the
    // icon, so a name longer than the old one still shows whole while it is typed.
    KZLabel probe;
    probe.setFont(m_fileNameTextField->font());
    probe.setNumberOfLines(2);
    probe.setLineBreakMode(kit::LineBreakMode::WordWrap);
    probe.setText(m_fileNameTextField->stringValue());
    const QSizeF fitted = probe.sizeThatFits(QSizeF(kNameMaxWidth - 8, kNameMaxHeight));
    const QSizeF size(std::clamp(std::ceil(fitted.width()) + 14, 40.0, kNameMaxWidth),
                      std::max(labelSize().height(), std::ceil(fitted.height()) + 4));
    m_fileNameTextField->setFrame(namePlacement(size));
}

bool KZFileInfoItemView::controlDoCommand(kit::TextField*, kit::TextCommand command) {
    if (command == kit::TextCommand::Cancel) { // Escape: the edit counts for nothing
        abandonEditing();
        return true;
    }
    if (command != kit::TextCommand::InsertNewline)
        return false;
    if (kit::Window* w = view()->kitWindow())
        w->makeFirstResponder(nullptr);
    return true;
}

void KZFileInfoItemView::controlTextDidEndEditing(kit::TextField*) {
    auto* d = dynamic_cast<KZTextFieldDelegate*>(m_delegate.get());
    if (m_abandoning) {
        if (d)
            d->textFieldDidAbandonEditing(this);
        return;
    }
    if (m_fileNameTextField->stringValue().trimmed().isEmpty())
        m_fileNameTextField->setStringValue(m_fileInfo ? m_fileInfo->name() : QString());
    if (d)
        d->textFieldDidResignFirstResponder(this);
}

// ---- looks

void KZFileInfoItemView::applyLooks(bool marked) {
    view();
    m_marked = marked;
    m_iconContainer->setCustomBackgroundColor(marked ? [] {
        QColor c = KZStyle::tabbarTintColor();
        c.setAlphaF(0.1);
        return c;
    }()
                                                     : QColor(Qt::transparent));
    m_fileNameLabel->setCustomBackgroundColor(marked ? KZStyle::focusRingColor() : QColor(Qt::transparent));
    m_fileNameLabel->setTextColor(marked ? QColor(Qt::white) : KZStyle::titleColor());
}

void KZFileInfoItemView::setSelected(bool selected) {
    kit::CollectionViewItem::setSelected(selected);
    applyLooks(selected);
    if (selected)
        view()->setCustomBackgroundColor(Qt::white);
    makeWordsHighlight(m_highlightWords);
}

void KZFileInfoItemView::setHighlightState(kit::HighlightState state) {
    kit::CollectionViewItem::setHighlightState(state);
    if (isSelected())
        return;
    // Only folders take outside files.
    if (m_draggingOutsideFiles && !(m_fileInfo && m_fileInfo->isDirectory()))
        return;
    applyLooks(state == kit::HighlightState::AsDropTarget);
    makeWordsHighlight(m_highlightWords);
}

void KZFileInfoItemView::mouseDown(const kit::Event& event) {
    QPointer<KZFileInfoItemView> self(this);
    if (auto* grid = qobject_cast<KZCollectionView*>(collectionView()))
        grid->mouseDown(event);
    else
        kit::CollectionViewItem::mouseDown(event);
    if (self && event.clickCount() == 2)
        if (auto* d = m_delegate.get())
            d->didDoubleClickFileInfoItemView(this);
}

void KZFileInfoItemView::rightMouseUp(const kit::Event& event) {
    if (auto* d = m_delegate.get())
        d->fileInfoItemViewRightMouseUp(this, event);
}

void KZFileInfoItemView::mouseEntered(const kit::Event&) {
    view()->setCustomBackgroundColor(isSelected() ? QColor(Qt::white) : KZStyle::VCBackgroundColor());
}

void KZFileInfoItemView::mouseExited(const kit::Event&) {
    view()->setCustomBackgroundColor(Qt::white);
}
