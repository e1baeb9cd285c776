#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/CloudFileList.h"

#include <QList>
#include <vector>

// The session's report of the changed nodes of one folder, read once for the page's merge: each
// change's id, kind and sort key in one array, and a table from node id to what the page's rows
// hold of that node. A merge of thousands of changes into a big folder then reads each record
// once and each row once.
class KZChangeBatch {
public:
    // What the rows hold of a changed node: its row (-1: none), kind and selection.
    struct Row {
        qint64 nid = 0;
        int row = -1;
        bool dir = false;
        bool selected = false;
        bool used = false;
    };

    // `changes` must outlive the batch; null records are skipped.
    KZChangeBatch(const QList<CloudFileInfoPtr>& changes, int sortMode);

    qsizetype size() const { return qsizetype(m_changes.size()); }
    const CloudFileInfoPtr& record(qsizetype i) const { return *m_changes[size_t(i)].record; }
    bool isDeleted(qsizetype i) const { return m_changes[size_t(i)].deleted; }
    bool isDirectory(qsizetype i) const { return m_changes[size_t(i)].key.dir; }
    // What the rows hold of change i's node, once findRows has looked.
    const Row& rowOf(qsizetype i) const { return m_rows[m_changes[size_t(i)].node]; }
    const CloudFileList::RowKey& key(qsizetype i) const { return m_changes[size_t(i)].key; }

    // Looks the changed nodes up among the rows, in one pass over their ids split across the
    // cores. Placeholder rows are no node's row.
    void findRows(const CloudFileList& files);
    // The changes at `indexes` in the sort mode's order; equal ones keep their order.
    std::vector<qsizetype> sorted(std::vector<qsizetype> indexes) const;

private:
    struct Change {
        const CloudFileInfoPtr* record = nullptr;
        CloudFileList::RowKey key;
        // The first 32 bytes of the name key, or the time: compared as numbers before the key.
        quint64 prefix[4] = {};
        quint32 node = 0;
        bool deleted = false;
    };
    quint32 insert(qint64 nid);
    // The table entry of `nid`, or -1; most ids are turned away by one bit.
    qint64 find(qint64 nid) const;
    static quint64 mix(qint64 nid) { return quint64(nid) * 0x9e3779b97f4a7c15ull; }
    size_t bit(qint64 nid) const { return size_t(mix(nid) >> 17) & (m_bits.size() * 64 - 1); }
    size_t slot(qint64 nid) const { return size_t(mix(nid) >> 40) & (m_rows.size() - 1); }

    int m_sortMode;
    std::vector<Change> m_changes;
    std::vector<Row> m_rows; // open addressing by node id
    std::vector<quint64> m_bits;
};
