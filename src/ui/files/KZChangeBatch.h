#pragma once

#include "cloud/ChangeDigest.h"
#include "cloud/CloudFileInfo.h"
#include "cloud/CloudFileList.h"

#include <QList>
#include <functional>
#include <memory>
#include <vector>

// The session's report of the changed nodes of one folder as the page's merge reads it: the
// report's digest (each change's id, kind and sort key, the additions sorted; made off the main
// thread when the session's proxy delivers the report) and what the page's rows hold of each
// changed node. A merge of thousands of changes into a big folder then reads no record of the
// report and each row once.
class KZChangeBatch {
public:
    // What the rows hold of a changed node: its row (-1: none), kind and selection. The kind is
    // read only for a node that a change removes (a cold read per row that no other change needs).
    struct Row {
        int row = -1;
        bool dir = false;
        bool selected = false;
    };

    // `changes` must outlive the batch; null records are skipped. `digest` is used when it was
    // made of these very changes in this sort mode; else the batch digests them itself.
    KZChangeBatch(const QList<CloudFileInfoPtr>& changes, int sortMode,
                  std::shared_ptr<const nubo::ChangeDigest> digest = {});

    qsizetype size() const { return m_digest->size(); }
    const CloudFileInfoPtr& record(qsizetype i) const { return m_changes.at(m_digest->brief(i).index); }
    bool isDeleted(qsizetype i) const { return m_digest->brief(i).deleted; }
    bool isDirectory(qsizetype i) const { return m_digest->brief(i).dir; }
    qint64 nid(qsizetype i) const { return m_digest->brief(i).nid; }
    // The selection mark the record came with.
    bool isSelected(qsizetype i) const { return m_digest->brief(i).selected; }
    // What the rows hold of change i's node, once findRows has looked.
    const Row& rowOf(qsizetype i) const { return m_rows[m_digest->brief(i).node]; }
    const CloudFileList::RowKey& key(qsizetype i) const { return m_digest->at(i).key; }
    // Whether the digest came made (not made here).
    bool wasDigested() const { return m_digested; }

    // Looks the changed nodes up among the rows, in one pass over their ids split across the
    // cores. Placeholder rows are no node's row. `side(0 .. sideParts - 1)` runs meanwhile, as
    // parts of the same split (the rows must not change).
    void findRows(const CloudFileList& files, int sideParts = 0, const std::function<void(int)>& side = {});
    // The changes that are not removals, in the sort mode's order (equal ones keep their order).
    const std::vector<qsizetype>& additions() const { return m_digest->additions(); }
    // The changes at `indexes` in the sort mode's order; equal ones keep their order.
    std::vector<qsizetype> sorted(std::vector<qsizetype> indexes) const {
        return m_digest->sorted(std::move(indexes));
    }

private:
    const QList<CloudFileInfoPtr>& m_changes;
    std::shared_ptr<const nubo::ChangeDigest> m_digest;
    bool m_digested = false;
    std::vector<Row> m_rows; // by distinct node
};
