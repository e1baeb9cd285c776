#pragma once

#include "foundation/Weak.h"
#include "kit/View.h"

class KZHomeNavigator;

class KZHomeNavigatorDelegate {
public:
    virtual ~KZHomeNavigatorDelegate() = default;
    virtual void homeNavigatorDidSelectIndex(KZHomeNavigator* navigator, int index) {
        (void)navigator;
        (void)index;
    }
    virtual void homeNavigatorDidDoubleClick(KZHomeNavigator* navigator) { (void)navigator; }
};

// The home window's column of page titles, each with its icon; one is selected.
class KZHomeNavigator : public kit::View {
    Q_OBJECT
public:
    static constexpr qreal kWidth = 180;
    static constexpr qreal kItemHeight = 44;

    explicit KZHomeNavigator(QWidget* parent = nullptr);

    void setDelegate(KZHomeNavigatorDelegate* delegate) { m_delegate = delegate; }
    void addItem(const QString& title, const QString& imageName);
    int count() const { return int(m_items.size()); }
    QString titleAtIndex(int index) const;
    int selectedIndex() const { return m_selected; }
    // Selects an item and tells the delegate; an index out of range or the selected one does nothing.
    void selectIndex(int index);
    QRectF itemFrame(int index) const;

    void mouseDown(const kit::Event& event) override;

protected:
    void draw(QPainter& painter) override;

private:
    struct Item {
        QString title;
        QString image;
    };
    QList<Item> m_items;
    int m_selected = -1;
    nubo::Weak<KZHomeNavigatorDelegate> m_delegate;
};
