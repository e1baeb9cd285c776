#pragma once

#include "cloud/CloudFileInfo.h"
#include "kit/Image.h"

#include <functional>

class KZRequestThumbDelegate;

// The thumbnail road shared by list cells and grid tiles: one request at a time per view, the
// memory cache first, and answers for a record the view no longer shows dropped.
namespace KZThumbnails {

// Pictures, videos and audio files have thumbnails.
bool hasThumbnail(const CloudFileInfo& file);
// The cached thumbnail of the record, or null.
kit::Image cached(const CloudFileInfoPtr& file);
// Replaces the view's pending request (`reqID`, 0 when none) by one for `file` (none when the
// file has no thumbnail).
void request(KZRequestThumbDelegate* delegate, const CloudFileInfoPtr& file, int side, bool fromCacheOnly,
             qint64& reqID);
void cancel(qint64& reqID);
// An answer to the view's request. Unless it is for another record than `shown`, the bytes are
// decoded off the main thread and cached, and then `show` runs on the main thread with the image
// (not when `context` is gone by then, nor for bytes that are no image); the view checks that
// it still shows the record.
void accept(QObject* context, const CloudFileInfoPtr& shown, qint64 requestId, qint64 nid,
            const QByteArray& thumb, qint64& reqID, std::function<void(const kit::Image&)> show);

} // namespace KZThumbnails
