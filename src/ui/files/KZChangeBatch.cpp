#include "ui/files/KZChangeBatch.h"

#include "foundation/ParallelFor.h"
#include "ui/files/KZLocalFileInfo.h"

KZChangeBatch::KZChangeBatch(const QList<CloudFileInfoPtr>& changes, int sortMode,
                             std::shared_ptr<const nubo::ChangeDigest> digest)
    : m_changes(changes) {
    // A digest made for another order (the page may sort otherwise than the one stored) is of
    // no use.
    m_digested = digest && digest->sortMode() == sortMode && digest->report().size() == changes.size();
    m_digest = m_digested ? std::move(digest) : std::make_shared<const nubo::ChangeDigest>(changes, sortMode);
    m_rows.resize(m_digest->nodeCount());
}

void KZChangeBatch::findRows(const CloudFileList& files, int sideParts,
                             const std::function<void(int)>& side) {
    // Each part notes its hits with what the row holds; they are taken in row order after, so
    // a node listed twice ends at its last row, as a pass in order would leave it.
    struct Hit {
        quint32 node;
        Row found;
    };
    const qsizetype count = files.size();
    const int parts = nubo::parallelParts(count * 64, 1 << 20);
    std::vector<std::vector<Hit>> hits{size_t(parts)};
    const nubo::ChangeDigest& digest = *m_digest;
    // The side parts are taken first: they are the longer ones.
    nubo::parallelFor(sideParts + parts, [&](int task) {
        if (task < sideParts) {
            side(task);
            return;
        }
        const int part = task - sideParts;
        files.forEachNid(
            [&](qsizetype row, qint64 nid) {
                const qint64 node = digest.find(nid);
                if (node < 0)
                    return;
                const CloudFileInfo* made = files.made(row);
                if (KZLocalFileInfo::isLocal(made))
                    return;
                // Only a row whose record was made can carry a selection.
                hits[size_t(part)].push_back({quint32(node),
                                              {int(row), made ? made->isDirectory() : files.isDirectory(row),
                                               made && made->selected()}});
            },
            count * part / parts, count * (part + 1) / parts);
    });
    for (const auto& part : hits)
        for (const Hit& hit : part)
            m_rows[hit.node] = hit.found;
}
