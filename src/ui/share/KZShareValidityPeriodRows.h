#pragma once

#include "cloud/ShareInfo.h"
#include "kit/TableView.h"

class KZLabel;
namespace kit {
class ImageView;
}

// A row of the validity choices: a rounded background that shows the pointer, and a check mark
// on the share's current choice. It draws no selection.
class KZShareValidityPeriodRowView : public kit::TableRowView {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("TableCellViewShareValidityPeriodRowView");

    explicit KZShareValidityPeriodRowView(QWidget* parent = nullptr);

    const ShareExpireInfoPtr& shareItem() const { return m_shareItem; }
    // Shows the mark exactly when the choice is the selected one; null shows none.
    void setShareItem(const ShareExpireInfoPtr& item);
    kit::View* backgroundView() const { return m_backgroundView; }
    kit::ImageView* markImageView() const { return m_markImageView; }

    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;

protected:
    void layout() override;
    void drawSelection(QPainter& p, const QRectF& rect) override;

private:
    kit::View* m_backgroundView;
    kit::ImageView* m_markImageView;
    ShareExpireInfoPtr m_shareItem;
};

// The title of one validity choice.
class KZShareValidityPeriodTableCellView : public kit::View {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("TableCellViewShareValidityPeriod");
    static constexpr double kTitleLeading = 20;

    explicit KZShareValidityPeriodTableCellView(QWidget* parent = nullptr);
    KZLabel* titleLabel() const { return m_titleLabel; }

protected:
    void layout() override;

private:
    KZLabel* m_titleLabel;
};
