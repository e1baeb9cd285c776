#include "ui/files/KZFolderToken.h"

#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "ui/files/KZFilesImages.h"
#include "ui/files/KZFolderCrumbsLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

KZFolderToken::KZFolderToken(const QString& title, QObject* target, Action actoin, QWidget* parent)
    : kit::View(parent), m_title(title), m_target(target), m_actoin(std::move(actoin)),
      m_normalColor(KZStyle::darkGray2Color()), m_highlightColor(KZStyle::titleColor()) {
    m_label = new KZLabel(this);
    m_label->setText(m_title);
    m_label->setNumberOfLines(1);
    m_label->setFont(KZStyle::fontOfSize(14));
    m_label->setTextColor(m_normalColor);
    m_label->setTextAlignment(kit::TextAlignment::Center);
    m_label->setLineBreakMode(kit::LineBreakMode::TruncateMiddle);
    // Clicks land on the crumb, not on its label.
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

KZFolderToken::KZFolderToken(const kit::Image& image, QWidget* parent) : kit::View(parent), m_image(image) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

KZFolderToken* KZFolderToken::arrowToken() {
    return new KZFolderToken(KZFilesImages::named(QStringLiteral("files_crumb_arrow"), QSizeF(12, 12)));
}

KZFolderToken* KZFolderToken::ellipsisToken() {
    return new KZFolderToken(QStringLiteral("..."), nullptr, {});
}

void KZFolderToken::setSelected(bool selected) {
    m_selected = selected;
    if (m_label && !m_title.isEmpty())
        m_label->setTextColor(selected ? m_highlightColor : m_normalColor);
}

double KZFolderToken::suggestTokenWidth() {
    if (m_suggestTokenWidth < 0) {
        double w;
        if (m_label) {
            const QFontMetricsF fm(KZStyle::fontOfSize(14));
            w = std::ceil(static_cast<float>(fm.horizontalAdvance(m_title)));
        } else {
            w = m_image.size().width() + 4;
        }
        m_suggestTokenWidth = KZFolderCrumbsLayout::capped(w);
    }
    return m_suggestTokenWidth;
}

void KZFolderToken::restoreLabelColor() {
    if (m_label)
        m_label->setTextColor(m_selected ? m_highlightColor : m_normalColor);
}

void KZFolderToken::mouseDown(const kit::Event& event) {
    if (!clickable())
        return kit::View::mouseDown(event);
    if (m_label)
        m_label->setAlphaValue(0.5);
}

void KZFolderToken::mouseUp(const kit::Event& event) {
    if (!clickable())
        return kit::View::mouseUp(event);
    if (m_label)
        m_label->setAlphaValue(1.0);
    // The action runs wherever the button is released, as a crumb is a small target.
    m_actoin(this);
}

void KZFolderToken::mouseEntered(const kit::Event& event) {
    kit::View::mouseEntered(event);
    if (clickable() && m_label && !m_selected)
        m_label->setTextColor(KZStyle::tabbarTintColor());
}

void KZFolderToken::mouseExited(const kit::Event& event) {
    kit::View::mouseExited(event);
    if (clickable())
        restoreLabelColor();
}

void KZFolderToken::layout() {
    if (!m_label)
        return;
    // The label draws from its top: one line's height, centred in the crumb.
    const double lineHeight = std::min(height(), m_label->sizeThatFits(QSizeF(0, 0)).height());
    m_label->setFrame(QRectF(0, (height() - lineHeight) / 2, width(), lineHeight));
}

void KZFolderToken::draw(QPainter& painter) {
    if (m_image.isNull())
        return;
    const QSizeF s = m_image.size();
    const QRectF target((width() - s.width()) / 2, (height() - s.height()) / 2, s.width(), s.height());
    painter.drawPixmap(target, m_image.pixmap(), QRectF(QPointF(0, 0), m_image.pixmap().size()));
}
