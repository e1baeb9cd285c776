#pragma once

#include "foundation/Weak.h"
#include "kit/View.h"

class KZCheckBoxButton;
class KZFileCollectionHeaderView;
class KZLabel;

class KZFileCollectionHeaderViewDelegate {
public:
    virtual ~KZFileCollectionHeaderViewDelegate() = default;
    virtual void fileCollectionHeaderViewDidPressSelectButton(KZFileCollectionHeaderView* header,
                                                              KZCheckBoxButton* button) = 0;
};

// The header above the grid: a select-all check box and the title "文件".
class KZFileCollectionHeaderView : public kit::View {
    Q_OBJECT
public:
    explicit KZFileCollectionHeaderView(QWidget* parent = nullptr);

    KZLabel* titleLabel() const { return m_titleLabel; }
    KZCheckBoxButton* checkBoxButton() const { return m_checkBoxButton; }
    void setDelegate(KZFileCollectionHeaderViewDelegate* d) { m_delegate = d; }
    bool enable() const { return m_enable; }
    void setEnable(bool enable);
    bool selected() const { return m_selected; }
    void setSelected(bool selected);
    void checkBoxButtonPressed();

protected:
    void layout() override;

private:
    KZLabel* m_titleLabel = nullptr;
    KZCheckBoxButton* m_checkBoxButton = nullptr;
    nubo::Weak<KZFileCollectionHeaderViewDelegate> m_delegate;
    bool m_enable = false;
    bool m_selected = false;
};
