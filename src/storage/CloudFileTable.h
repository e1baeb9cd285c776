#pragma once

#include "storage/Database.h"
#include "storage/NodeRecord.h"

#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace nubo {

// The per-user copy of the cloud node tree (live nodes only; the root is not stored), filled by
// the full fetch and kept current from the change log. Paths are not stored: they follow from the
// parents, and a rename or move of a folder then rewrites one row, not its whole subtree.
class CloudFileTable {
public:
    explicit CloudFileTable(Database& db) : m_db(db) {}

    BWError create();

    // Inserts or replaces the nodes, in one transaction.
    BWError upsert(const NodeList& nodes);
    // Deletes the nodes and everything below them, in one transaction.
    BWError remove(const QList<qint64>& nids);
    // Applies a change-log page: removed nodes (status != 0) are deleted with their subtrees, the
    // others upserted; `cursor` (when >= 0) is stored as the sync cursor in the same transaction.
    BWError applyChanges(const NodeList& changes, qint64 cursor);
    BWError clear();

    // A full fetch into an emptied table: beginFullLoad() empties it and sets its indexes aside
    // so that the pages upserted next are plain appends, and stops the connection copying its
    // log into the file after each commit; finishFullLoad() builds the indexes in one pass,
    // stores the cursor and copies the log with that commit. A load that never finishes leaves
    // no cursor (the next start fetches fully again) and the indexes come back when the table is
    // next created.
    BWError beginFullLoad();
    // A page (or part of one) of a full load made into rows beside the table, on any thread and
    // on several at once: loading it then costs the writer a copy of rows rather than a record
    // made per node. Of two rows with one id the first is kept.
    Result<std::unique_ptr<Database>> stagePage(std::span<const NodeRecord> nodes) const;
    // Adds staged pages in their order, up to kMaxStagesPerLoad in one transaction; of two rows
    // with one id the first is kept, as the tree keeps it.
    BWError loadStaged(const std::vector<std::unique_ptr<Database>>& stages);
    static constexpr size_t kMaxStagesPerLoad = 8; // SQLite attaches at most ten
    BWError finishFullLoad(qint64 cursor);

    // Lookups with the paths made from the parents.
    Result<NodeRecord> byId(qint64 nid);
    Result<NodeRecord> byPath(const QString& path); // "/" gives the root
    Result<NodeList> children(qint64 pid);
    // Every node, the paths left empty, in `parts` runs of ids read at once, each on a connection
    // of its own: onRow(part, row) is called on the part's thread. What a start reads back, while
    // nothing writes the table.
    BWError readInParts(int parts, const std::function<void(int part, const NodeRowView& row)>& onRow);
    Result<qint64> count();

    // The change-log cursor of this user's copy; 0 when a full fetch is needed.
    Result<qint64> cursor();
    BWError setCursor(qint64 cursor);

    static NodeRecord rootRecord();

private:
    Result<QString> pathOf(qint64 nid);
    // Writes the nodes with `insert` ("INSERT OR REPLACE", say) into `table` of `db`.
    static BWError writeRows(Database& db, const QString& insert, std::span<const NodeRecord> nodes);
    BWError loadStagedRun(const std::vector<std::unique_ptr<Database>>& stages, size_t from, size_t to);
    BWError upsertLocked(const NodeList& nodes);
    BWError removeLocked(const QList<qint64>& nids);
    Database& m_db;
    QString m_stageTable;        // how this file makes the table, for the pages staged beside it
    int m_autoCheckpoint = 1000; // the connection's own, while a full load turns it off
};

} // namespace nubo
