#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/CloudFileList.h"

#include <QList>
#include <vector>

namespace nubo {

// A report of changed nodes read once for the lists that merge it: each change's id, kind and
// sort key in one array, a table from node id to the distinct nodes changed, and the additions
// sorted in one sort mode. The session's proxy makes it on the background thread, before the
// report reaches the main thread, so a list merging thousands of changes reads no record for
// this. Immutable once made; it holds the report it was made from.
class ChangeDigest {
public:
    struct Change {
        CloudFileList::RowKey key; // record: the digested report's
        // The first 32 bytes of the name key, or the time: compared as numbers before the key.
        quint64 prefix[4] = {};
        quint32 index = 0; // in the report
        quint32 node = 0;  // the distinct node, 0 .. nodeCount()
        bool deleted = false;
        bool selected = false; // the mark the record came with
    };

    // What a pass over every change reads, apart: a merge's loop touches a few bytes per change.
    struct Brief {
        qint64 nid = 0;
        quint32 index = 0;
        quint32 node = 0;
        bool deleted = false;
        bool selected = false;
        bool dir = false;
    };

    // Null records are skipped.
    ChangeDigest(QList<CloudFileInfoPtr> report, int sortMode);

    int sortMode() const { return m_sortMode; }
    const QList<CloudFileInfoPtr>& report() const { return m_report; }
    qsizetype size() const { return qsizetype(m_changes.size()); }
    const Change& at(qsizetype i) const { return m_changes[size_t(i)]; }
    const Brief& brief(qsizetype i) const { return m_briefs[size_t(i)]; }
    // Distinct node ids among the changes (a node may change twice in one report).
    quint32 nodeCount() const { return m_nodeCount; }
    // Whether a change of the distinct node `node` removes it.
    bool removes(quint32 node) const { return m_removes[node]; }
    // Whether `nid` may be changed: false is sure, true is then asked of find. Two bits of a
    // small table that stays in the cache turn away all but a few ids in a thousand.
    bool mayChange(qint64 nid) const {
        const quint64 h = mix(nid);
        const size_t mask = m_bits.size() * 64 - 1;
        const size_t a = size_t(h >> 17) & mask;
        const size_t b = size_t(h >> 41) & mask;
        return (m_bits[a / 64] >> (a % 64)) & (m_bits[b / 64] >> (b % 64)) & 1;
    }
    // Asks for what find(nid) reads first, a few ids ahead of asking.
    void prefetch(qint64 nid) const { __builtin_prefetch(&m_slots[slot(nid)]); }
    // The distinct node of `nid`, or -1.
    qint64 find(qint64 nid) const {
        if (!mayChange(nid))
            return -1;
        for (size_t s = slot(nid); m_slots[s].used; s = (s + 1) & (m_slots.size() - 1))
            if (m_slots[s].nid == nid)
                return m_slots[s].node;
        return -1;
    }
    // The changes that are not removals, in the sort mode's order (equal ones keep their order).
    const std::vector<qsizetype>& additions() const { return m_additions; }
    // The changes at `indexes` in the sort mode's order; equal ones keep their order.
    std::vector<qsizetype> sorted(std::vector<qsizetype> indexes) const;

private:
    struct Slot {
        qint64 nid = 0;
        quint32 node = 0;
        bool used = false;
    };
    Change read(quint32 index) const;
    quint32 insert(qint64 nid);
    static quint64 mix(qint64 nid) { return quint64(nid) * 0x9e3779b97f4a7c15ull; }
    size_t slot(qint64 nid) const { return size_t(mix(nid) >> 40) & (m_slots.size() - 1); }

    QList<CloudFileInfoPtr> m_report;
    int m_sortMode;
    std::vector<Change> m_changes;
    std::vector<Brief> m_briefs;
    std::vector<Slot> m_slots; // open addressing by node id
    std::vector<quint64> m_bits;
    quint32 m_nodeCount = 0;
    std::vector<bool> m_removes; // by distinct node
    std::vector<qsizetype> m_additions;
};

} // namespace nubo
