#pragma once

#include "foundation/Weak.h"
#include "kit/Image.h"
#include "kit/View.h"

#include <QList>
#include <functional>

class KZFileListStyleSwitcher;

// 0 list (table), 1 grid (collection).
enum KZFileListStyle { KZFileListStyleList = 0, KZFileListStyleGrid = 1 };

class KZFileListStyleSwitcherDelegate {
public:
    virtual ~KZFileListStyleSwitcherDelegate() = default;
    virtual void switcherValueChanged(KZFileListStyleSwitcher* switcher) = 0;
};

// One picture button of the switcher. It reports both the press and the release; the
// switcher ignores the one that changes nothing.
class KZStyleSwitcherItemView : public kit::View {
    Q_OBJECT
public:
    using Handler = std::function<void(const kit::Event&)>;
    KZStyleSwitcherItemView(const kit::Image& image, Handler handler, QWidget* parent = nullptr);

    bool selected() const { return m_selected; }
    void setSelected(bool selected);

    void mouseDown(const kit::Event& event) override;
    void mouseUp(const kit::Event& event) override;

protected:
    void draw(QPainter& painter) override;

private:
    kit::Image m_image;
    Handler m_handler;
    bool m_selected = false;
};

// The two-button switch between the list and the grid presentation.
class KZFileListStyleSwitcher : public kit::View {
    Q_OBJECT
public:
    explicit KZFileListStyleSwitcher(QWidget* parent = nullptr);

    uint style() const { return m_style; }
    // Stores the style, marks its button and tells the delegate, on every call.
    void setStyle(uint style);
    void setDelegate(KZFileListStyleSwitcherDelegate* d) { m_delegate = d; }
    const QList<KZStyleSwitcherItemView*>& itemViews() const { return m_itemViews; }

    void listItemViewClicked();
    void gridItemViewClicked();

protected:
    void layout() override;

private:
    uint m_style = KZFileListStyleList;
    nubo::Weak<KZFileListStyleSwitcherDelegate> m_delegate;
    QList<KZStyleSwitcherItemView*> m_itemViews;
};
