#include "ui/files/KZCollectionView.h"

#include "shell/KZWindowsManager.h"

#include <QPointer>

kit::Menu* KZCollectionView::menuForEvent(const kit::Event& event) {
    m_clickedItemIndexPath = indexPathForItemAtPoint(convertFromWindow(event.locationInWindow()));
    return kit::CollectionView::menuForEvent(event);
}

void KZCollectionView::mouseDown(const kit::Event& event) {
    QPointer<KZCollectionView> self(this);
    kit::CollectionView::mouseDown(event);
    if (!self)
        return;
    KZWindowsManager::shareInstance().closeUserInfoWindow();
    KZWindowsManager::shareInstance().closeFilesMenusWindow();
}
