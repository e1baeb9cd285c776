#pragma once

#include <QVariantMap>

namespace nubo::transfer {

// Where the transfer layer meets the session below it.

// The counts of "KZNotificationTransportJobCount": "KEY_UPLOAD_COUNT" and "KEY_DOWNLOAD_COUNT"
// (running plus waiting jobs of each engine) and "KEY_FINISHED_COUNT" (finished jobs of both).
QVariantMap transportCounts();

// Has the session post the counts notification, on the calling thread.
void postTransportCount();

// The cloud tree changed through a transfer or a sync operation: the session fetches the
// changes, so that the pages see them.
void cloudTreeChanged();

} // namespace nubo::transfer
