#pragma once

#include "kit/Label.h"

// The program's text label: the kit's drawn label in Nubo's default font and title colour.
class KZLabel : public kit::Label {
    Q_OBJECT
public:
    explicit KZLabel(QWidget* parent = nullptr);
    explicit KZLabel(const QRectF& frame, QWidget* parent = nullptr);
};
