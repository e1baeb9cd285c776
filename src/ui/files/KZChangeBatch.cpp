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
    // Small parts: a helper that is set aside in the middle of one holds the result back by
    // no more than that part.
    const int parts = nubo::parallelParts(count * 64, 1 << 18);
    std::vector<std::vector<Hit>> hits{size_t(parts)};
    const nubo::ChangeDigest& digest = *m_digest;
    // The side parts are taken first: they are the longer ones.
    nubo::parallelFor(sideParts + parts, [&](int task) {
        if (task < sideParts) {
            side(task);
            return;
        }
        const int part = task - sideParts;
        // The ids are read in order and most are turned away by the digest's bits; the few
        // left are looked up after, fetched a few ahead, so that their misses overlap.
        struct Candidate {
            qsizetype row;
            qint64 nid;
        };
        std::vector<Candidate> candidates;
        files.forEachNid(
            [&](qsizetype row, qint64 nid) {
                if (digest.mayChange(nid))
                    candidates.push_back({row, nid});
            },
            count * part / parts, count * (part + 1) / parts);
        constexpr size_t kAhead = 8;
        std::vector<Hit>& found = hits[size_t(part)];
        for (size_t k = 0; k < candidates.size(); ++k) {
            if (k + kAhead < candidates.size())
                digest.prefetch(candidates[k + kAhead].nid);
            const auto [row, nid] = candidates[k];
            const qint64 node = digest.find(nid);
            if (node < 0)
                continue;
            const CloudFileInfo* made = files.made(row);
            if (KZLocalFileInfo::isLocal(made))
                continue;
            // Only a row whose record was made can carry a selection. The kind of a removed
            // node's row is read below.
            found.push_back(
                {quint32(node), {int(row), made && made->isDirectory(), made && made->selected()}});
        }
        // The rows' fields lie scattered over a big array: fetched a few hits ahead, so that the
        // misses overlap instead of following each other.
        for (size_t h = 0; h < found.size(); ++h) {
            if (h + kAhead < found.size() && digest.removes(found[h + kAhead].node))
                files.prefetchFields(found[h + kAhead].found.row);
            Hit& hit = found[h];
            if (digest.removes(hit.node) && !hit.found.dir)
                hit.found.dir = files.isDirectory(hit.found.row);
        }
    });
    for (const auto& part : hits)
        for (const Hit& hit : part)
            m_rows[hit.node] = hit.found;
}
