#include "ui/files/KZFileListStyleSwitcher.h"

#include "shell/KZStyle.h"
#include "ui/files/KZFilesImages.h"

#include <QPainter>
#include <QPainterPath>

KZStyleSwitcherItemView::KZStyleSwitcherItemView(const kit::Image& image, Handler handler, QWidget* parent)
    : kit::View(parent), m_image(image), m_handler(std::move(handler)) {
    setCustomBackgroundColor(colorWithRGB(QStringLiteral("#EBEEF2")));
    setCornerRadius(2);
}

void KZStyleSwitcherItemView::setSelected(bool selected) {
    m_selected = selected;
    setCustomBackgroundColor(selected ? QColor(Qt::white) : QColor(Qt::transparent));
}

void KZStyleSwitcherItemView::mouseDown(const kit::Event& event) {
    setCustomBackgroundColor(QColor(Qt::transparent));
    m_handler(event);
}

void KZStyleSwitcherItemView::mouseUp(const kit::Event& event) {
    setCustomBackgroundColor(QColor(Qt::white));
    m_handler(event);
}

void KZStyleSwitcherItemView::draw(QPainter& painter) {
    if (m_image.isNull())
        return;
    QPainterPath clip;
    clip.addRoundedRect(bounds(), 2, 2);
    painter.setClipPath(clip);
    const QSizeF s = m_image.size();
    painter.drawPixmap(QRectF((width() - s.width()) / 2, (height() - s.height()) / 2, s.width(), s.height()),
                       m_image.pixmap(), QRectF(QPointF(0, 0), m_image.pixmap().size()));
}

KZFileListStyleSwitcher::KZFileListStyleSwitcher(QWidget* parent) : kit::View(parent) {
    setCornerRadius(4);
    setCustomBackgroundColor(colorWithRGB(QStringLiteral("#EBEEF2")));
    auto* list =
        new KZStyleSwitcherItemView(KZFilesImages::named(QStringLiteral("files_list"), QSizeF(14, 14)),
                                    [this](const kit::Event&) { listItemViewClicked(); });
    auto* grid =
        new KZStyleSwitcherItemView(KZFilesImages::named(QStringLiteral("files_grid"), QSizeF(14, 14)),
                                    [this](const kit::Event&) { gridItemViewClicked(); });
    for (auto* v : {list, grid}) {
        addSubview(v);
        m_itemViews.append(v);
    }
    m_itemViews.first()->setSelected(true);
    m_itemViews.last()->setSelected(false);
}

void KZFileListStyleSwitcher::setStyle(uint style) {
    // A saved mode of neither kind (a damaged settings file) would show the list while the page,
    // asking for one kind or the other, found no clicked row: it is the list.
    m_style = style == KZFileListStyleGrid ? KZFileListStyleGrid : KZFileListStyleList;
    m_itemViews.first()->setSelected(m_style == KZFileListStyleList);
    m_itemViews.last()->setSelected(m_style == KZFileListStyleGrid);
    if (m_delegate)
        m_delegate->switcherValueChanged(this);
}

void KZFileListStyleSwitcher::listItemViewClicked() {
    if (m_style != KZFileListStyleList)
        setStyle(KZFileListStyleList);
}

void KZFileListStyleSwitcher::gridItemViewClicked() {
    if (m_style != KZFileListStyleGrid)
        setStyle(KZFileListStyleGrid);
}

void KZFileListStyleSwitcher::layout() {
    double x = 3;
    for (auto* v : std::as_const(m_itemViews)) {
        v->setFrame(QRectF(x, 3, 20, 20));
        x += 20 + 3;
    }
}
