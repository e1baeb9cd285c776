#pragma once

#include "kit/TableView.h"

// A row of the folder picker: a rounded background in white, the hover colour, or the selection
// colour.
class KZFolderRowView : public kit::TableRowView {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZFolderRowView");

    explicit KZFolderRowView(QWidget* parent = nullptr);

    kit::View* backgroundView() const { return m_backgroundView; }
    kit::View* bottomLine() const { return m_bottomLine; }

    void setSelected(bool selected) override;
    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;

protected:
    void drawSelection(QPainter& p, const QRectF& rect) override;
    void layout() override;

private:
    kit::View* m_backgroundView = nullptr;
    kit::View* m_bottomLine = nullptr;
};
