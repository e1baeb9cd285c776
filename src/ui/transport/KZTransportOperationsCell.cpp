#include "ui/transport/KZTransportOperationsCell.h"

#include "kit/Image.h"
#include "shell/KZButton.h"

#include <QHash>

namespace {
constexpr double kButtonSide = 24;
const char* const kImageProperty = "transportImage";
} // namespace

KZTransportOperationsCell::KZTransportOperationsCell(QWidget* parent) : kit::View(parent) {}

KZButton* KZTransportOperationsCell::buttonWithImage(const QString& image, std::function<void()> action) {
    auto* b = new KZButton(QRectF(0, 0, kButtonSide, kButtonSide), this);
    b->setTitle(QString());
    setButtonImage(b, image);
    b->setAction([action = std::move(action)](KZButton*) { action(); });
    return b;
}

void KZTransportOperationsCell::setButtonImage(KZButton* button, const QString& image) {
    if (imageName(button) == image)
        return;
    button->setProperty(kImageProperty, image);
    // Scaled once per name: every row of a long list has these buttons.
    static QHash<QString, QImage> scaled;
    auto it = scaled.find(image);
    if (it == scaled.end())
        it = scaled.insert(image, kit::Image::named(image).scaledToFit(QSizeF(16, 16)).toImage());
    button->setImage(*it);
}

QString KZTransportOperationsCell::imageName(const KZButton* button) {
    return button ? button->property(kImageProperty).toString() : QString();
}

void KZTransportOperationsCell::layout() {
    double left = 6.0;
    for (KZButton* b : {m_taskStartButton, m_taskDeleteButton, m_showInFinderButton}) {
        if (!b)
            continue;
        b->setFrame(QRectF(left, height() * 0.5 - kButtonSide / 2, kButtonSide, kButtonSide));
        if (!b->isHidden())
            left = b->right() + 10.0;
    }
}
