#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/CloudFileList.h"
#include "storage/NodeRecord.h"

#include <QHash>
#include <QReadWriteLock>
#include <vector>

namespace nubo {

// The in-memory copy of the cloud node tree that answers listings and searches: the children of
// every folder kept in name order, natural-order keys computed once per name, and one buffer of
// case-folded names that a search scans. Kept current by the incremental changes. Safe from any
// thread (readers share a lock; changes take it alone).
//
// Nodes are packed for a tree of millions: fixed fields in one small entry, the exact name, the
// name key and the content hash in one byte buffer, node ids mapped through a dense table.
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

    // The children of a folder as new rows, sorted by a KZFileListSortMode with folders first.
    CloudFileList list(qint64 folder, bool foldersOnly, int sortMode) const;
    // Nodes below `scope` (0 the whole tree) whose name contains `key`, case-insensitively, as
    // new records sorted like a listing. An empty key finds nothing.
    CloudFileList search(qint64 scope, const QString& key, int sortMode) const;
    // The node ids of such a search, unsorted (the search structure alone).
    std::vector<qint64> searchNids(qint64 scope, const QString& key) const;

    // Bytes held for the nodes (every table and buffer, by capacity).
    qint64 memoryBytes() const;

    // A new record of a node at a path.
    static CloudFileInfoPtr fileInfoFromRecord(const NodeRecord& node, const QString& path);

private:
    enum Flag : quint8 {
        kAlive = 1,
        kDir = 2,
        kLink = 4,
        kSync = 8,
        kEditLock = 16,
        kNameIsFolded = 32, // the exact name is the folded one in the search buffer
        kHashBinary = 64,   // the hash is kept as 20 bytes (it was 40 lowercase hex digits)
    };
    struct Entry {
        qint64 nid = -1;
        quint64 size = 0;
        qint64 version = 0;
        qint32 mtime = 0;
        qint32 ctime = 0;
        int parent = -1;   // slot of the parent folder
        int segment = -1;  // index of the folded name in the search buffer
        int children = -1; // index of the child list (folders that had children)
        quint32 text = 0;  // offset of the key, exact name and hash in m_text
        qint32 category = 0;
        quint8 flags = 0;
    };
    // What an entry's text holds, read back.
    struct Text {
        QByteArrayView key;
        QByteArrayView name; // UTF-8
        QByteArrayView hash; // 20 bytes when binary, else the text
        quint32 length = 0;  // bytes in m_text
    };
    // One node's derived strings, made before they are stored (possibly on another thread).
    struct Prepared {
        QByteArray folded;
        QByteArray text;
        quint8 flags = 0;
    };

    static Prepared prepare(const NodeRecord& rec);
    int slotOf(qint64 nid) const;
    void mapNid(qint64 nid, int slot);
    void unmapNid(qint64 nid);
    int newSlot();
    int addEntry(const NodeRecord& rec, const Prepared& p);
    void store(int slot, const NodeRecord& rec, const Prepared& p);
    void setText(int slot, const QByteArray& text);
    void addSegment(int slot, const QByteArray& folded);
    void dropSegment(Entry& e);
    Text textOf(int slot) const;
    // Start loading what textOf(slot) reads: the text (entry needed), then the folded name.
    void prefetchText(int slot) const;
    void prefetchName(int slot) const;
    QString nameOf(int slot) const;
    QString hashOf(int slot) const;
    bool nameLess(int a, int b) const;
    std::vector<int>& childList(int folder);
    void linkSorted(int slot);
    void unlinkSorted(int slot);
    void removeSubtree(int slot);
    bool isInSubtree(int slot, int root) const;
    void compactIfNeeded();
    QString pathOfSlot(int slot) const;
    // A node's place in a name sort: its kind and the first 16 bytes of its key, so that most
    // comparisons never read the entries or the text.
    struct OrderItem {
        quint64 hi = 0;
        quint64 lo = 0;
        int slot = 0;
        bool dir = false;
    };
    OrderItem orderItem(int slot) const;
    // Folders first, then by name; ties fall to the exact name and the node id.
    bool itemLess(const OrderItem& a, const OrderItem& b, bool descending) const;
    // Live slots in name order (key, exact name, id), the order every child list keeps.
    std::vector<int> slotsByName() const;
    // Rebuilds the search buffer from the live slots in name order.
    void layOutSearchBuffer(const std::vector<int>& byName);
    // Hits of a search in three runs: folders and files in the ordered part of the buffer (each in
    // name order) and those among the names added since (in no order).
    struct Found {
        std::vector<int> dirs;
        std::vector<int> files;
        std::vector<int> added;
    };
    Found findSlots(int scopeSlot, const QByteArray& needle) const;
    // The hits in the order of `sortMode`.
    std::vector<int> searchSlots(int scopeSlot, const QByteArray& needle, int sortMode) const;
    // The live names holding `needle` among the segments [first, last), in buffer order, folders
    // and files apart.
    void scanSegments(size_t first, size_t last, const QByteArray& needle, std::vector<int>& dirs,
                      std::vector<int>& files) const;
    void sortSlots(std::vector<int>& slots, int sortMode) const;
    // Folders first, then by time; equal times fall to the node id.
    void sortSlotsByTime(std::vector<int>& slots, bool descending) const;
    CloudFileInfoPtr makeInfo(int slot, const QString& path) const;
    // Rows of `slots` in that order (a listing sorted by `sortMode`); slot i lies in the folder
    // folderPaths[folderOf[i]] (folderPaths[0] for all when folderOf is empty).
    CloudFileList makeInfos(const std::vector<int>& slots, const std::vector<QString>& folderPaths,
                            const std::vector<quint32>& folderOf, int sortMode) const;

    mutable QReadWriteLock m_lock;
    std::vector<Entry> m_entries; // slot 0 is the root
    std::vector<int> m_free;
    std::vector<int> m_byNid;       // dense ids: slot by node id, -1 for none
    QHash<qint64, int> m_sparseNid; // ids too far apart for the dense table
    int m_live = 0;

    std::vector<std::vector<int>> m_children; // child slots in name order
    std::vector<int> m_freeChildLists;

    // Keys, exact names and hashes; offsets are 32-bit, so the tree holds up to 4 GiB of them.
    QByteArray m_text;
    qsizetype m_deadText = 0;

    // Search buffer: each name as a zero byte followed by its case-folded UTF-8 form. The first
    // m_orderedSegs names are in name order, so a scan finds its hits already sorted; names added
    // later follow in no order until the buffer is laid out again.
    QByteArray m_names;
    std::vector<quint32> m_segStart;
    std::vector<int> m_segSlot; // -1 once the name is no longer the node's
    std::vector<bool> m_segDir; // the name is a folder's
    int m_deadSegments = 0;
    size_t m_orderedSegs = 0;
};

} // namespace nubo
