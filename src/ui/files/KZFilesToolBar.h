#pragma once

#include "kit/Image.h"
#include "kit/View.h"

#include <QList>
#include <QPointer>
#include <functional>
#include <memory>

class KZLabel;
class KZFilesToolBarItemView;

// One button of the files toolbar: text, a 16 × 16 icon and an optional down arrow.
class KZFilesToolBarItem {
public:
    using Action = std::function<void(KZFilesToolBarItemView* sender)>;

    // `image` names an image resource; `target` guards the action (no target, no presses).
    static std::shared_ptr<KZFilesToolBarItem> toolBarItemWithTitle(const QString& title,
                                                                    const QString& image, bool hasDownArrow,
                                                                    QObject* target, Action action);

    QString title() const { return m_title; }
    void setTitle(const QString& t) { m_title = t; }
    kit::Image image() const { return m_image; }
    bool hasDownArrow() const { return m_hasDownArrow; }
    quint64 alignment() const { return m_alignment; }
    quint64 index() const { return m_index; }
    QObject* target() const { return m_target; }
    const Action& action() const { return m_action; }

private:
    friend class KZFilesToolBar;
    QString m_title;
    kit::Image m_image;
    bool m_hasDownArrow = false;
    quint64 m_alignment = 0; // 0 left group, 1 right group
    quint64 m_index = 0;     // position in its group
    QPointer<QObject> m_target;
    Action m_action;
};
using KZFilesToolBarItemPtr = std::shared_ptr<KZFilesToolBarItem>;

// The view of one toolbar button, with its pressed and disabled looks.
class KZFilesToolBarItemView : public kit::View {
    Q_OBJECT
public:
    explicit KZFilesToolBarItemView(KZFilesToolBarItemPtr item, QWidget* parent = nullptr);

    const KZFilesToolBarItemPtr& item() const { return m_item; }
    bool enable() const { return m_enable; }
    void setEnable(bool enable);
    // Icon, gap, title and arrow widths; computed once and kept.
    double suggestWidth();
    KZLabel* titleLabel() const { return m_titleLabel; }

    void mouseDown(const kit::Event& event) override;
    void mouseUp(const kit::Event& event) override;

protected:
    void layout() override;
    void draw(QPainter& painter) override;

private:
    bool accepts(const kit::Event& event) const;

    KZFilesToolBarItemPtr m_item;
    bool m_enable = true;
    double m_suggestWidth = -1;
    KZLabel* m_titleLabel = nullptr;
    kit::Image m_downArrow;
    QRectF m_imageRect;
    QRectF m_arrowRect;
};

// A flat bar of toolbar buttons in a left group and a right group.
class KZFilesToolBar : public kit::View {
    Q_OBJECT
public:
    explicit KZFilesToolBar(QWidget* parent = nullptr);

    const QList<KZFilesToolBarItemPtr>& leftItems() const { return m_leftItems; }
    void setLeftItems(const QList<KZFilesToolBarItemPtr>& items);
    const QList<KZFilesToolBarItemPtr>& rightItems() const { return m_rightItems; }
    void setRightItems(const QList<KZFilesToolBarItemPtr>& items);
    const QList<KZFilesToolBarItemView*>& leftItemViews() const { return m_leftItemViews; }
    const QList<KZFilesToolBarItemView*>& rightItemViews() const { return m_rightItemViews; }

    // Enables or disables the view of an item of either group; unknown items are ignored.
    void setEnable(bool enable, const KZFilesToolBarItemPtr& item);
    // The view of an item, or null.
    KZFilesToolBarItemView* viewOfItem(const KZFilesToolBarItemPtr& item) const;

    bool acceptsFirstResponder() const override { return true; }

protected:
    void layout() override;

private:
    void setItems(const QList<KZFilesToolBarItemPtr>& items, quint64 alignment,
                  QList<KZFilesToolBarItemView*>& views);

    QList<KZFilesToolBarItemPtr> m_leftItems;
    QList<KZFilesToolBarItemPtr> m_rightItems;
    QList<KZFilesToolBarItemView*> m_leftItemViews;
    QList<KZFilesToolBarItemView*> m_rightItemViews;
};
