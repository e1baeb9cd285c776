// The file page's grid: its tiles, header and the grid halves of clicks.
#include "ui/files/KZFilesViewController.h"

#include "shell/KZCheckBoxButton.h"

namespace {
constexpr double kGridHeaderHeight = 40;
} // namespace

void KZFilesViewController::initGridUI() {
    m_collectionView->setSelectable(true);
    m_collectionView->setAllowsMultipleSelection(true);
    m_collectionView->setItemSize(KZFileInfoItemView::tileSize());
    m_collectionView->setSectionInset(QMargins(16, 0, 16, 16));
    m_collectionView->registerItem(KZFileInfoItemView::kIdentifier, [] { return new KZFileInfoItemView; });
    auto* header = new KZFileCollectionHeaderView;
    header->setFrameSize(QSizeF(header->width(), kGridHeaderHeight));
    header->setDelegate(this);
    m_collectionHeaderView = header;
    m_collectionView->setHeaderView(header);
}

int KZFilesViewController::collectionViewNumberOfItemsInSection(kit::CollectionView*, int) {
    return int(m_files.size());
}

kit::CollectionViewItem*
KZFilesViewController::collectionViewItemForRepresentedObjectAtIndexPath(kit::CollectionView* collection,
                                                                         kit::IndexPath path) {
    if (path.item < 0 || path.item >= m_files.size())
        return nullptr;
    auto* item = collection->makeItem<KZFileInfoItemView>(KZFileInfoItemView::kIdentifier, path);
    if (!item)
        return nullptr;
    item->setDelegate(this);
    item->setFileInfo(m_files.at(path.item));
    item->makeWordsHighlight(m_fileInfo ? m_fileInfo->searchKey() : QString());
    return item;
}

void KZFilesViewController::collectionViewWillDisplayItem(kit::CollectionView*, kit::CollectionViewItem* item,
                                                          kit::IndexPath) {
    if (auto* tile = qobject_cast<KZFileInfoItemView*>(item)) {
        tile->loadImage();
        tile->layoutLabels();
    }
}

void KZFilesViewController::collectionViewDidEndDisplayingItem(kit::CollectionView*,
                                                               kit::CollectionViewItem* item,
                                                               kit::IndexPath) {
    // A tile that leaves the screen asks for nothing more, so requests stay with what is visible.
    if (auto* tile = qobject_cast<KZFileInfoItemView*>(item))
        tile->cancelLoadImage();
}

void KZFilesViewController::didDoubleClickFileInfoItemView(KZFileInfoItemView* item) {
    if (item)
        openClickedFile(item->fileInfo());
}

void KZFilesViewController::fileCollectionHeaderViewDidPressSelectButton(KZFileCollectionHeaderView*,
                                                                         KZCheckBoxButton* button) {
    if (button->checked())
        selectAllRows();
    else
        deselectAllRows();
}
