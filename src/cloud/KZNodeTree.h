#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/CloudFileList.h"
#include "storage/NodeRecord.h"

#include <QHash>
#include <QReadWriteLock>
#include <unordered_map>
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

    class Batch;

    KZNodeTree();

    // Replaces the whole tree by these nodes (the root is implicit; the order does not matter).
    // Nodes whose parent is missing are left out; of two with one id the first is kept.
    void reset(const NodeList& nodes);
    // The same from batches made beforehand (on any threads), in the order of the batches.
    void reset(std::vector<Batch>&& batches);
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
    // rows sorted like a listing. An empty key finds nothing. The rows are read from this tree
    // when first shown (a hit gone by then reads as a bare row of its id), so the tree must
    // outlive them.
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
        kWide = 128,        // size, version or category does not fit the entry: see m_wide
    };
    // 40 bytes: a million nodes cost 40 MB here. Values rarely needing more than 32 bits (a
    // file over 4 GiB, say) go to m_wide.
    struct Entry {
        qint64 nid = -1;
        quint32 size = 0;
        quint32 version = 0;
        qint32 mtime = 0;
        qint32 ctime = 0;
        int parent = -1;  // slot of the parent folder
        int segment = -1; // index of the folded name in the search buffer
        quint32 text = 0; // offset of the key, exact name and hash in m_text
        quint8 category = 0;
        quint8 flags = 0;
    };
    static_assert(sizeof(Entry) == 40);
    struct Wide {
        quint64 size = 0;
        qint64 version = 0;
        qint32 category = 0;
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

    // Appends a name's key, exact name (unless it is the folded one) and the hash to `text`;
    // the layout flags.
    static quint8 encode(const QString& name, QByteArrayView utf8, const QByteArray& folded,
                         QByteArrayView hash, QByteArray& text);
    static quint8 kindFlags(bool dir, bool link, bool sync, bool editLock);
    // Sets the narrow fields; false when a value needs m_wide.
    static bool setNarrow(Entry& e, quint64 size, qint64 version, qint32 category);
    Wide fieldsOf(int slot) const;
    void store(int slot, qint64 nid, const Wide& fields, qint32 mtime, qint32 ctime, quint8 flags);
    void forgetSlot(int slot);
    static Prepared prepare(const NodeRecord& rec);
    int slotOf(qint64 nid) const;
    void mapNid(qint64 nid, int slot);
    void unmapNid(qint64 nid);
    int newSlot();
    int addEntry(const NodeRecord& rec, const Prepared& p);
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
    const std::vector<int>* childrenOf(int folder) const;
    void linkSorted(int slot);
    void unlinkSorted(int slot);
    void removeSubtree(int slot);
    // The steps of a reset from batches, under the write lock: the batches' entries, names and
    // text moved in (a second record of an id left dead), returning each slot's parent id; the
    // slots linked to their parents; and what hangs from no live folder dropped with its subtree
    // (a cycle or a missing parent).
    std::vector<qint64> takeBatches(std::vector<Batch>& batches);
    void linkParents(std::vector<qint64>&& pids);
    void dropUnreachable();
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
    // Adds the row of a node in folder `folder` of the rows' folders.
    void appendRow(ListedRows& rows, int slot, quint32 folder) const;
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

    // Child slots in name order, by folder slot (folders that had children).
    std::unordered_map<int, std::vector<int>> m_children;
    QHash<int, Wide> m_wide;

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

// Nodes made ready for a tree away from it, on any thread: their keys and folded names, the costly
// part of a build. A tree is then made of a list of batches (KZNodeTree::reset).
class KZNodeTree::Batch {
public:
    void reserve(qsizetype nodes);
    // Removed nodes (status != 0) and ids below 1 are left out.
    void add(const NodeRecord& rec);
    void add(const NodeRowView& row);
    qsizetype size() const { return qsizetype(m_entries.size()); }

private:
    friend class KZNodeTree;
    void add(qint64 nid, qint64 pid, const QString& name, QByteArrayView utf8, QByteArrayView hash,
             const Wide& fields, qint32 mtime, qint32 ctime, quint8 kind);
    std::vector<Entry> m_entries; // text and segment: offsets into m_text and m_names
    std::vector<qint64> m_pids;
    std::vector<std::pair<size_t, Wide>> m_wide; // by index, ascending
    QByteArray m_names;                          // as the tree's search buffer
    QByteArray m_text;
    qint64 m_maxNid = 0;
};

} // namespace nubo
