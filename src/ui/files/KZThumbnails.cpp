#include "ui/files/KZThumbnails.h"

#include "cloud/KZImageCache.h"
#include "cloud/KZSessionProxy.h"

namespace KZThumbnails {

bool hasThumbnail(const CloudFileInfo& f) {
    const int c = f.m_category();
    return c == 1 || c == 3 || c == 4;
}

kit::Image cached(const CloudFileInfoPtr& file) {
    if (!file || !hasThumbnail(*file))
        return {};
    const QImage image = KZImageCache::shareInstance()->imageForCloudFile(*file);
    return image.isNull() ? kit::Image() : kit::Image(image);
}

void request(KZRequestThumbDelegate* delegate, const CloudFileInfoPtr& file, int side, bool fromCacheOnly,
             qint64& reqID) {
    cancel(reqID); // a reused view drops its former record's request
    if (!file || !hasThumbnail(*file))
        return;
    reqID = KZSessionProxy::shareSessionProxy()->requestThumbDelegate(delegate, file->path(), file->nid(),
                                                                      side, side, {}, fromCacheOnly);
}

void cancel(qint64& reqID) {
    if (reqID != 0)
        KZSessionProxy::shareSessionProxy()->cancelThumbRequest(reqID);
    reqID = 0;
}

void accept(QObject* context, const CloudFileInfoPtr& shown, qint64 requestId, qint64 nid,
            const QByteArray& thumb, qint64& reqID, std::function<void(const kit::Image&)> show) {
    if (requestId == reqID)
        reqID = 0;
    if (!shown || nid != shown->nid())
        return;
    kit::Image::decodeInBackground(thumb, context, [shown, show = std::move(show)](const kit::Image& image) {
        if (image.isNull())
            return;
        KZImageCache::shareInstance()->setImage(image.toImage(), *shown);
        show(image);
    });
}

} // namespace KZThumbnails
