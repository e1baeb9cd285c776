#pragma once

#include "cloud/CloudFileInfo.h"
#include "kit/Image.h"

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
// An answer to the view's request: the image to show (now cached), or null when the answer is
// for another record than `shown` or is no image.
kit::Image accept(const CloudFileInfoPtr& shown, qint64 requestId, qint64 nid, const QByteArray& thumb,
                  qint64& reqID);

} // namespace KZThumbnails
