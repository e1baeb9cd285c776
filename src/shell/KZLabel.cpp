#include "KZLabel.h"

#include "KZStyle.h"

KZLabel::KZLabel(QWidget* parent) : kit::Label(parent) {
    setFont(KZStyle::fontOfSize(14));
    setTextColor(KZStyle::titleColor());
}

KZLabel::KZLabel(const QRectF& frame, QWidget* parent) : KZLabel(parent) {
    setFrame(frame);
}
