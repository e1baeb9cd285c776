#pragma once

#include "kit/ImageView.h"
#include "kit/View.h"
#include "shell/KZLabel.h"
#include "ui/common/KZFileOperateMenuItem.h"

// The cell of an operation menu row: the title, an arrow for the entries that open a pop-up
// ("查看" and "排序"), and for a separator only a line.
class KZFileOperateCellView : public kit::View {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZFileOperateCellView");

    explicit KZFileOperateCellView(QWidget* parent = nullptr);

    // The cell width that shows `title` whole in the font the cell draws it with.
    static double widthForTitle(const QString& title);

    KZLabel* titleLabel() const { return m_titleLabel; }
    kit::View* topLineView() const { return m_topLineView; }
    kit::View* bottomLineView() const { return m_bottomLineView; }
    kit::ImageView* rightArrowView() const { return m_rightArrowView; }
    const KZFileOperateMenuItemPtr& item() const { return m_item; }
    void setItem(const KZFileOperateMenuItemPtr& item);

protected:
    void layout() override;

private:
    KZLabel* m_titleLabel = nullptr;
    kit::View* m_topLineView = nullptr;
    kit::View* m_bottomLineView = nullptr;
    kit::ImageView* m_rightArrowView = nullptr;
    KZFileOperateMenuItemPtr m_item;
};
