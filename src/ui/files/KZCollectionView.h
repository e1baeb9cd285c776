#pragma once

#include "kit/CollectionView.h"

#include <optional>

// The file page's grid: it remembers the item under the last context click and closes the
// home window's pop-ups on every click.
class KZCollectionView : public kit::CollectionView {
    Q_OBJECT
public:
    explicit KZCollectionView(QWidget* parent = nullptr) : kit::CollectionView(parent) {}

    // The item under the last context click; none when it was on empty space.
    std::optional<kit::IndexPath> clickedItemIndexPath() const { return m_clickedItemIndexPath; }
    kit::Menu* menuForEvent(const kit::Event& event) override;
    // Also run for presses on items.
    void mouseDown(const kit::Event& event) override;

private:
    std::optional<kit::IndexPath> m_clickedItemIndexPath;
};
