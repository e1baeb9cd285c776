#include "ui/files/KZFileListSort.h"

#include "ui/files/KZLocalFileInfo.h"

#include <algorithm>

namespace KZFileListSort {

int compare(const CloudFileInfo& a, const CloudFileInfo& b, int sortMode) {
    const bool la = KZLocalFileInfo::isLocal(&a);
    const bool lb = KZLocalFileInfo::isLocal(&b);
    if (la && lb)
        return 0;
    if (la != lb)
        return la ? -1 : 1;
    return a.compareBySortMode(b, sortMode);
}

void sort(QList<CloudFileInfoPtr>& files, int sortMode) {
    // Rows of one session listing in its order need no comparison (and so no name keys at all).
    bool listed = true;
    for (qsizetype i = 1; listed && i < files.size(); ++i)
        listed = files[i]->followsInListing(*files[i - 1], sortMode);
    if (listed)
        return;
    // Name keys are computed once per record, not per comparison.
    if (sortMode == 0 || sortMode == 1)
        for (const auto& f : std::as_const(files))
            f->nameSortKey();
    const auto less = [sortMode](const CloudFileInfoPtr& a, const CloudFileInfoPtr& b) {
        return compare(*a, *b, sortMode) < 0;
    };
    // The session answers in this order already; checking is one pass, sorting is not.
    if (!std::is_sorted(files.begin(), files.end(), less))
        std::stable_sort(files.begin(), files.end(), less);
}

void sort(CloudFileList& files, int sortMode) {
    if (files.sortedBy() == sortMode)
        return;
    // Only single records can be placeholders; they lead.
    const auto less = [&files, sortMode](qsizetype a, qsizetype b) {
        const bool la = KZLocalFileInfo::isLocal(files.made(a));
        const bool lb = KZLocalFileInfo::isLocal(files.made(b));
        if (la || lb)
            return la && !lb;
        return files.compareRows(a, b, sortMode) < 0;
    };
    bool sorted = true;
    for (qsizetype i = 1; sorted && i < files.size(); ++i)
        sorted = !less(i, i - 1);
    if (!sorted)
        files.stableSortRows(less);
    files.setSortedBy(sortMode);
}

} // namespace KZFileListSort
