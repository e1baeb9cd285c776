#pragma once

#include "kit/TextField.h"

// A text field whose one line of text sits in the vertical middle of its frame, however tall
// the frame is (the in-place rename field of list rows).
class KZTextFieldCell : public kit::TextField {
    Q_OBJECT
public:
    explicit KZTextFieldCell(const QString& text = {}, QWidget* parent = nullptr);

protected:
    void layout() override;
};
