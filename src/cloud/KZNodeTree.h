#pragma once

#include "cloud/CloudFileInfo.h"
#include "storage/NodeRecord.h"

#include <QHash>
#include <QReadWriteLock>
#include <vector>

namespace nubo {

// The in-memory copy of the cloud node tree that answers listings and searches: the children of
// every folder, natural-order keys computed once per name, and one buffer of case-folded names
// that a search scans in a single pass. Kept current by the incremental changes. Safe from any
// thread (readers share a lock; changes take it alone).
class KZNodeTree {
public:
    // How one applied change relates to what the tree held before.
    struct Change {
        NodeRecord node;      // the node as it is now (status != 0 when removed)
        bool existed = false; // it was in the tree before
        qint64 oldPid = -1;   // its parent before (when it existed)
        QString oldName;      // its name before (when it existed)
        bool wasDir = false;
    };

    KZNodeTree();

    // Replaces the whole tree by these nodes (the root is implicit; the order does not matter).
    // Nodes whose parent is missing are left out.
    void reset(const NodeList& nodes);
    void clear();
    // Applies changed nodes in order: removed ones (status != 0) leave with their subtrees, the
    // others are added or updated (a new parent is a move).
    QList<Change> apply(const NodeList& changes);

    int count() const; // live nodes, root excluded
    bool contains(qint64 nid) const;
    // The node with its path; null when absent.
    CloudFileInfoPtr fileInfo(qint64 nid) const;
    // The node id of the node at a full path ("/" the root); -1 when there is none.
    qint64 nidForPath(const QString& path) const;
    bool isFolder(qint64 nid) const;
    // Whether `nid` is `ancestor` or lies below it.
    bool isUnder(qint64 nid, qint64 ancestor) const;

    // The children of a folder as new records, sorted by a KZFileListSortMode with folders first.
    QList<CloudFileInfoPtr> list(qint64 folder, bool foldersOnly, int sortMode) const;
    // Nodes below `scope` (0 the whole tree) whose name contains `key`, case-insensitively, as
    // new records sorted like a listing. An empty key finds nothing.
    QList<CloudFileInfoPtr> search(qint64 scope, const QString& key, int sortMode) const;
    // The node ids of such a search, unsorted (the search structure alone).
    std::vector<qint64> searchNids(qint64 scope, const QString& key) const;

    // A new record of a node at a path.
    static CloudFileInfoPtr fileInfoFromRecord(const NodeRecord& node, const QString& path);

private:
    struct Entry {
        NodeRecord rec; // its path is not kept: it follows from the parents
        QByteArray key;
        std::vector<int> children;
        int segment = -1;
        bool alive = false;
    };

    int slotOf(qint64 nid) const { return m_slots.value(nid, -1); }
    int addEntry(const NodeRecord& rec);
    void link(int slot);
    void unlink(int slot);
    void removeSubtree(int slot);
    bool isInSubtree(int slot, int root) const;
    void addSegment(int slot);
    void dropSegment(Entry& e);
    void compactIfNeeded();
    QString pathOfSlot(int slot) const;
    std::vector<int> searchSlots(int scopeSlot, const QByteArray& needle) const;
    // The live names holding `needle` among the segments [first, last), in buffer order.
    void scanSegments(size_t first, size_t last, const QByteArray& needle, std::vector<int>& hits) const;
    void sortSlots(std::vector<int>& slots, int sortMode) const;
    CloudFileInfoPtr makeInfo(int slot, const QString& path) const;

    mutable QReadWriteLock m_lock;
    std::vector<Entry> m_entries; // slot 0 is the root
    std::vector<int> m_free;
    QHash<qint64, int> m_slots;
    int m_live = 0;

    // Search buffer: each name as a zero byte followed by its case-folded UTF-8 form.
    QByteArray m_names;
    std::vector<qsizetype> m_segStart;
    std::vector<int> m_segSlot; // -1 once the name is no longer the node's
    int m_deadSegments = 0;
};

} // namespace nubo
