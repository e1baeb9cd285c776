#include "KZTextFieldCell.h"

#include <QFontMetricsF>
#include <QLineEdit>

KZTextFieldCell::KZTextFieldCell(const QString& text, QWidget* parent) : kit::TextField(parent) {
    setStringValue(text);
}

void KZTextFieldCell::layout() {
    if (isWrapping()) {
        kit::TextField::layout();
        return;
    }
    QLineEdit* e = editor();
    const int lineHeight = qMin(int(height()), int(std::ceil(QFontMetricsF(font()).height())) + 6);
    e->setGeometry(0, (int(height()) - lineHeight) / 2, int(width()), lineHeight);
}
