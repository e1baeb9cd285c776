#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/CloudFileList.h"

#include <QList>

// The order of the browser's rows: folders being created first, then by the sort mode
// (0 name ascending, 1 name descending, 2 time ascending, anything else time descending),
// folders before files in every mode.
namespace KZFileListSort {

// Negative when a comes before b.
int compare(const CloudFileInfo& a, const CloudFileInfo& b, int sortMode);
void sort(QList<CloudFileInfoPtr>& files, int sortMode);
// The same order on rows, comparing the packed fields (no records are made).
void sort(CloudFileList& files, int sortMode);

} // namespace KZFileListSort
