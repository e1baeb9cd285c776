#pragma once

#include "kit/TableView.h"

// The header of the file tables: white, each column's title in the subtitle font and a light
// grey, 4 points in for the first column and 10 for the others.
class KZFolderTableHeaderView : public kit::TableHeaderView {
    Q_OBJECT
public:
    explicit KZFolderTableHeaderView(QWidget* parent = nullptr);

    // Where a column's title is drawn, in the header's coordinates (its baseline-free top left).
    QPointF titleOrigin(int column) const;

protected:
    void draw(QPainter& p) override;
};

// Draws one column title of a header, as a header cell of the file tables does.
class KZFolderTableHeaderCell {
public:
    explicit KZFolderTableHeaderCell(QString title = {}) : m_title(std::move(title)) {}
    QString title() const { return m_title; }
    void setTitle(const QString& t) { m_title = t; }
    // The title in the subtitle font and a light grey, vertically centred in `frame`.
    void drawWithFrame(QPainter& p, const QRectF& frame) const;

private:
    QString m_title;
};
