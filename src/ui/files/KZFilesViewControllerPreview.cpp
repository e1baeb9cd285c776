// The file page's side of the image preview: which images it shows and the checks it runs for it.
#include "ui/files/KZFilesViewController.h"

#include "cloud/User.h"
#include "shell/KZBaseWindowController.h"
#include "shell/KZWindowsManager.h"
#include "ui/files/KZImagesPreviewing.h"

QPair<QList<CloudFileInfoPtr>, int>
KZFilesViewController::previewImageInfos(const CloudFileInfoPtr& file) const {
    QList<CloudFileInfoPtr> images;
    int index = -1;
    for (const CloudFileInfoPtr& f : m_files) {
        if (f->m_category() != 1)
            continue;
        if (file && f->nid() == file->nid())
            index = int(images.size());
        images.append(f);
    }
    return {images, index};
}

void KZFilesViewController::previewImage(const CloudFileInfoPtr& file) {
    const auto [images, index] = previewImageInfos(file);
    if (images.isEmpty())
        return;
    KZBaseWindowController* window = KZWindowsManager::shareInstance().imagesPreviewWindow();
    auto* preview = dynamic_cast<KZImagesPreviewing*>(window);
    if (!preview)
        return; // no preview window in this build
    preview->setPreviewOwner(this);
    preview->updateImageInfos(images, std::max(0, index));
    KZWindowsManager::shareInstance().showWindow(window);
}

// The checks of the page's own delete, in its order, each showing its alert when it refuses.
bool KZFilesViewController::previewMayDeleteFiles(const QList<CloudFileInfoPtr>& files) {
    if (User::isNeedPay()) {
        showOverdueAlert();
        return false;
    }
    if (syncingForFiles(files)) {
        showSyncingAlert();
        return false;
    }
    if (editingForFiles(files)) {
        showEditingAlert();
        return false;
    }
    return !operableFiles(files).isEmpty();
}
