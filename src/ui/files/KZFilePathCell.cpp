#include "ui/files/KZFilePathCell.h"

#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZTools.h"

KZFilePathCell::KZFilePathCell(QWidget* parent) : kit::View(parent) {
    m_pathLabel = new KZLabel;
    m_pathLabel->setFont(KZStyle::fontOfSize(12));
    m_pathLabel->setTextColor(KZStyle::tabbarTintColor());
    m_pathLabel->setLineBreakMode(kit::LineBreakMode::TruncateMiddle);
    m_pathLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pathButton = new KZButton;
    m_pathButton->setAction(this, [this](KZButton*) { pathButtonClicked(); });
    addSubview(m_pathButton);
    addSubview(m_pathLabel);
    setCursor(Qt::PointingHandCursor);
}

QString KZFilePathCell::parentPath(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : p.left(slash);
}

void KZFilePathCell::setFileInfo(const CloudFileInfoPtr& fileInfo) {
    m_fileInfo = fileInfo;
    m_pathLabel->setText(fileInfo ? KZTools::getReadableFileName(parentPath(fileInfo->path())) : QString());
    layout();
}

void KZFilePathCell::pathButtonClicked() {
    if (auto* d = m_delegate.get())
        d->didClickFilePathCell(this);
}

void KZFilePathCell::layout() {
    // The label draws from its top: one line's height in the vertical middle; the button only
    // as wide as the text, so a click beside the name selects the row instead.
    const QSizeF text = m_pathLabel->sizeThatFits(QSizeF(0, 0));
    const double w = std::min(std::max(0.0, width() - 20), text.width());
    const QRectF r(10, (height() - text.height()) / 2, w, text.height());
    m_pathLabel->setFrame(r);
    m_pathButton->setFrame(r);
}
