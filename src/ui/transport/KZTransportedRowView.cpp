#include "ui/transport/KZTransportedRowView.h"

#include "foundation/DisplayText.h"
#include "kit/ImageView.h"
#include "kit/Window.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZStyle.h"
#include "shell/KZTools.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileRowView.h"
#include "ui/transport/KZDownloadFileOperationsCell.h"
#include "ui/transport/KZTransportFileProgressCell.h"
#include "ui/transport/KZTransportListView.h"
#include "ui/transport/KZUploadFileOperationsCell.h"

#include <QPainter>
#include <cmath>

using L = KZTransportListView;
using Ops = KZTransportOperationsCell;
using Progress = KZTransportFileProgressCell;

namespace {

const QString kDeleteImage = QStringLiteral("share_delete");
const QString kLocateImage = QStringLiteral("transport_position");

// Placed on whole pixels, as a widget with this frame would be.
QRectF snapped(const QRectF& r) {
    return QRectF(std::lround(r.x()), std::lround(r.y()), std::max(0L, std::lround(r.width())),
                  std::max(0L, std::lround(r.height())));
}

void setUpText(kit::DrawnText& text, const QColor& color, kit::LineBreakMode mode) {
    text.setFont(KZStyle::fontOfSize(12));
    text.setColor(color);
    text.setLineBreakMode(mode);
}

// Most rows show an empty check box on white: drawn once, as the box draws itself there, and
// copied. Null where copying could differ from drawing (scaled or fractionally scaled painting).
const QImage& uncheckedBoxOnWhite(const QPainter& p, const QSizeF& size) {
    static const QImage none;
    static QImage drawn;
    const qreal ratio = p.device() ? p.device()->devicePixelRatio() : 1;
    if (ratio != std::floor(ratio) || p.transform().type() > QTransform::TxTranslate ||
        p.transform().dx() != std::floor(p.transform().dx()) ||
        p.transform().dy() != std::floor(p.transform().dy()))
        return none;
    const QSize pixels = (size * ratio).toSize();
    if (drawn.size() != pixels || drawn.devicePixelRatio() != ratio) {
        drawn = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        drawn.setDevicePixelRatio(ratio);
        drawn.fill(Qt::white);
        QPainter q(&drawn);
        KZCheckBoxButton::drawBox(q, QPointF(0, 0), size.height(), false, true);
    }
    return drawn;
}

} // namespace

KZTransportedRowView::KZTransportedRowView(QWidget* parent) : kit::TableRowView(parent) {
    setUpText(m_name, KZStyle::titleColor(), kit::LineBreakMode::TruncateMiddle);
    setUpText(m_size, KZStyle::darkGray2Color(), kit::LineBreakMode::TruncateMiddle);
    setUpText(m_state, KZStyle::darkGray2Color(), kit::LineBreakMode::TruncateTail);
}

void KZTransportedRowView::setJob(const KZTransportedJob& job) {
    m_job = job;
    m_pressed = Part::None;
    if (job.isNull()) {
        m_name.setText({});
        m_size.setText({});
        m_state.setText({});
        m_icon = m_stateIcon = {};
        update();
        return;
    }
    const bool upload = job.isUpload();
    m_icon = KZTools::getIconForFile(upload ? job.upload->m_disk_path : job.download->m_path);
    m_name.setText(kit::AttributedString(nubo::text::lastPathComponent(job.path())));
    // A negative size from a damaged download record reads as nothing rather than as 16 EiB.
    m_size.setText(kit::AttributedString(KZTools::convertSizeToReadable(
        upload ? job.upload->m_fsize : quint64(std::max<qint64>(0, job.download->m_fsize)))));
    m_stateIcon = kit::Image::named(Progress::finishedImageName(upload));
    m_state.setText(kit::AttributedString(Progress::finishedText(upload, job.finishedTime()),
                                          KZStyle::fontOfSize(12), KZStyle::darkGray2Color()));
    m_nameHeight = m_name.sizeThatFits(QSizeF(0, 0)).height();
    m_sizeHeight = m_size.sizeThatFits(QSizeF(0, 0)).height();
    update();
}

QStringList KZTransportedRowView::buttonImageNames() const {
    return m_job.isNull() ? QStringList() : QStringList{kDeleteImage, kLocateImage};
}

QRectF KZTransportedRowView::rectOf(Part part) const {
    if (m_job.isNull())
        return {};
    switch (part) {
    case Part::CheckBox:
        return snapped(KZFileRowView::checkBoxRect(bounds()));
    case Part::Delete:
    case Part::Locate: {
        const QRectF cell = rectOfColumn(L::OperationsColumn);
        if (cell.isNull())
            return {};
        const qreal left = part == Part::Delete ? Ops::kFirstButtonLeft
                                                : Ops::kFirstButtonLeft + Ops::kButtonSide + Ops::kButtonGap;
        return snapped(QRectF(left, cell.height() * 0.5 - Ops::kButtonSide / 2, Ops::kButtonSide,
                              Ops::kButtonSide))
            .translated(cell.x(), 0);
    }
    case Part::None:
        break;
    }
    return {};
}

KZTransportedRowView::Part KZTransportedRowView::partAt(const QPointF& point) const {
    for (Part part : {Part::CheckBox, Part::Delete, Part::Locate})
        if (rectOf(part).contains(point))
            return part;
    return Part::None;
}

void KZTransportedRowView::setSelected(bool selected) {
    kit::TableRowView::setSelected(selected);
    if (m_checked == selected)
        return;
    m_checked = selected;
    update();
}

void KZTransportedRowView::mouseEntered(const kit::Event& event) {
    kit::TableRowView::mouseEntered(event);
    m_hovered = true;
    update();
}

void KZTransportedRowView::mouseExited(const kit::Event& event) {
    kit::TableRowView::mouseExited(event);
    m_hovered = false;
    update();
}

// Rows move under a resting pointer as the list scrolls, with no entering or leaving reported.
void KZTransportedRowView::updateHoverFromPointer() {
    const bool hovered = KZFileRowView::isPointerOver(this);
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    update();
}

void KZTransportedRowView::moveEvent(QMoveEvent* event) {
    kit::TableRowView::moveEvent(event);
    updateHoverFromPointer();
}

void KZTransportedRowView::showEvent(QShowEvent* event) {
    kit::TableRowView::showEvent(event);
    updateHoverFromPointer();
}

// A press on a part is held there until release; anywhere else it goes on to the table.
void KZTransportedRowView::mouseDown(const kit::Event& event) {
    m_pressed = partAt(convertFromWindow(event.locationInWindow()));
    if (m_pressed == Part::None)
        kit::TableRowView::mouseDown(event);
}

void KZTransportedRowView::mouseUp(const kit::Event& event) {
    const Part pressed = std::exchange(m_pressed, Part::None);
    if (pressed == Part::None)
        return kit::TableRowView::mouseUp(event);
    if (rectOf(pressed).contains(convertFromWindow(event.locationInWindow())))
        act(pressed);
}

void KZTransportedRowView::mouseDragged(const kit::Event& event) {
    if (m_pressed == Part::None)
        kit::TableRowView::mouseDragged(event);
}

void KZTransportedRowView::act(Part part) {
    const KZTransportedJob job = m_job; // the action may hand this row to another record
    switch (part) {
    case Part::CheckBox:
        if (kit::Window* w = kitWindow())
            w->makeFirstResponder(nullptr); // as the file rows' check box does
        m_checked = !m_checked;
        job.selected() = !job.selected();
        update();
        if (auto* d = m_delegate.get())
            d->transportedRowViewDidClickCheckBox(this, m_checked);
        break;
    case Part::Delete:
        if (job.upload)
            KZUploadFileOperationsCell::deleteJob(job.upload);
        else
            KZDownloadFileOperationsCell::deleteJob(job.download);
        break;
    case Part::Locate:
        if (job.upload)
            KZUploadFileOperationsCell::locateJob(job.upload, kitWindow());
        else
            KZDownloadFileOperationsCell::locateJob(job.download, kitWindow());
        break;
    case Part::None:
        break;
    }
}

QRectF KZTransportedRowView::textRect(int column, qreal left, qreal lineHeight) const {
    // As the info cell places its label: one line's height, centred, a gap on the right.
    const QRectF cell = rectOfColumn(column);
    const qreal h = cell.height();
    const qreal lh = std::min(h, lineHeight);
    const QRectF r(left, (h - lh) / 2, std::max(0.0, cell.width() - left - KZFileInfoCell::kTextGap), lh);
    return snapped(r).translated(cell.x(), 0);
}

void KZTransportedRowView::draw(QPainter& p) {
    kit::TableRowView::draw(p);
    const QRectF b = bounds();
    // The rounded background and the bottom line, as the file rows' views draw them.
    // A plain row's white would only cover the list's own white.
    const QColor background = KZFileRowView::backgroundColor(isSelected(), m_hovered);
    p.setPen(Qt::NoPen);
    if (background != Qt::white) {
        // Cut to its own rectangle, as the background's view is, for screens scaled by fractions.
        const QRect r = snapped(KZFileRowView::backgroundRect(b)).toRect();
        p.save();
        p.setClipRect(r);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(background);
        p.drawRoundedRect(QRectF(r), 4, 4);
        p.restore();
    }
    p.setBrush(KZStyle::separatorColor());
    p.drawRect(snapped(KZFileRowView::bottomLineRect(b)));
    p.setBrush(Qt::NoBrush);
    if (m_job.isNull())
        return;

    const QRectF box = rectOf(Part::CheckBox);
    const QImage plainBox =
        background == Qt::white && !m_checked ? uncheckedBoxOnWhite(p, box.size()) : QImage();
    if (!plainBox.isNull()) {
        p.drawImage(box.topLeft(), plainBox);
    } else {
        p.save();
        KZCheckBoxButton::drawBox(p, box.topLeft(), box.height(), m_checked, true);
        p.restore();
    }

    // Name: the file's icon in its box, then the name.
    const QRectF nameCell = rectOfColumn(L::FileColumn);
    if (!nameCell.isNull()) {
        const qreal h = nameCell.height();
        const QRectF box =
            snapped(QRectF(KZFileInfoCell::kIconBoxLeft, (h - KZFileInfoCell::kIconBoxSide) / 2,
                           KZFileInfoCell::kIconBoxSide, KZFileInfoCell::kIconBoxSide));
        kit::ImageView::drawImage(p, m_icon, box.translated(nameCell.x(), 0),
                                  kit::ImageScaling::ProportionallyUpOrDown);
        m_name.draw(p, textRect(L::FileColumn, box.right() + KZFileInfoCell::kTextGap, m_nameHeight));
    }
    if (!rectOfColumn(L::SizeColumn).isNull())
        m_size.draw(p, textRect(L::SizeColumn, KZFileInfoCell::kTextGap, m_sizeHeight));

    // State: the finished mark and the line with the time.
    const QRectF stateCell = rectOfColumn(L::StateColumn);
    if (!stateCell.isNull()) {
        const qreal h = stateCell.height();
        const qreal w = stateCell.width();
        const QRectF icon =
            snapped(QRectF(10, (h - Progress::kIconSide) / 2, Progress::kIconSide, Progress::kIconSide));
        kit::ImageView::drawImage(p, m_stateIcon, icon.translated(stateCell.x(), 0),
                                  kit::ImageScaling::ProportionallyDown);
        const QRectF line =
            snapped(QRectF(10 + Progress::kIconSide + 6, (h - Progress::kDescriptionHeight) / 2,
                           std::max(0.0, w - 42), Progress::kDescriptionHeight));
        m_state.draw(p, line.translated(stateCell.x(), 0));
    }

    // The buttons' images, centred in their squares as the buttons draw them.
    for (const auto& [part, name] :
         {std::pair(Part::Delete, kDeleteImage), std::pair(Part::Locate, kLocateImage)}) {
        const QRectF square = rectOf(part);
        if (square.isNull())
            continue;
        const QImage& image = Ops::buttonImage(name);
        const QSizeF size = QSizeF(image.size()) / image.devicePixelRatio();
        p.drawImage(QRectF(square.topLeft() + QPointF((square.width() - size.width()) / 2,
                                                      (square.height() - size.height()) / 2),
                           size),
                    image);
    }
}
