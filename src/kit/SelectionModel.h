#pragma once

#include "kit/IndexSet.h"

#include <QList>
#include <Qt>
#include <vector>

namespace kit {

// What one selection call did: the selection before and after it, in the numbering of the
// moment after the call.
struct SelectionChange {
    IndexSet previous;
    IndexSet current;
    bool changed() const { return !(previous == current); }
    IndexSet added() const;
    IndexSet removed() const;
};

// The selection of a list of `count` indexed rows or tiles, and how clicks, arrow keys,
// insertions and removals change it. The table and the grid each keep one, so that both
// select alike; they only draw it and tell their delegates.
//
// The anchor is where a shift-click range starts; the cursor is the index last clicked or
// moved to, from which the arrow keys go on.
class SelectionModel {
public:
    int count() const { return m_count; }
    // The list now has `count` indexes: indexes beyond it leave the selection.
    SelectionChange setCount(int count);
    // A new list of `count` indexes: nothing selected, no anchor or cursor.
    SelectionChange reset(int count);

    bool allowsMultiple() const { return m_multiple; }
    void setAllowsMultiple(bool multiple) { m_multiple = multiple; }
    // Whether a click on no row may leave nothing selected.
    bool allowsEmpty() const { return m_allowsEmpty; }
    void setAllowsEmpty(bool empty) { m_allowsEmpty = empty; }

    const IndexSet& selection() const { return m_selection; }
    bool contains(int index) const { return m_selection.contains(index); }
    int anchor() const { return m_anchor; }
    int cursor() const { return m_cursor; }

    // Selects `indexes` (those in range), adding them to the selection when extending. A
    // single-selection list keeps the last one asked for. Anchor and cursor go to that last one.
    SelectionChange select(const IndexSet& indexes, bool extend);
    SelectionChange deselect(const IndexSet& indexes);
    // Everything, when several may be selected; nothing changes otherwise.
    SelectionChange selectAll();
    SelectionChange clear();

    // A press on `index` (-1: on no row): control toggles, shift selects the range from the
    // anchor, a plain press selects the row alone. A plain press on a row of a multiple
    // selection waits for release() so that the selection can be dragged.
    SelectionChange press(int index, Qt::KeyboardModifiers modifiers);
    // The press ended; a press that became a drag keeps the selection as it was.
    SelectionChange release(bool dragged);
    // An arrow key: moves the cursor by `delta` (clamped to the list) and selects it alone, or
    // the range from the anchor to it when extending.
    SelectionChange moveCursor(int delta, bool extend);

    // Indexes inserted at `indexes` (their places once inserted, ascending; each clamped to
    // the list as it grows) or removed: the selected rows keep their selection.
    void insert(const IndexSet& indexes);
    // Returns whether a selected index was among those removed.
    bool remove(const IndexSet& indexes);

    // Where an old index goes when inserting at `indexes` into a list of `count` (same rules
    // as insert); the views move their displayed rows with it.
    class InsertMap {
    public:
        InsertMap(const IndexSet& indexes, int count);
        // Ascending calls only.
        int operator()(int old);
        int newCount() const { return m_count; }

    private:
        std::vector<int> m_places;
        size_t m_next = 0;
        int m_count = 0;
    };
    // The same for removing `indexes`: -1 for a removed index. It walks the removed ranges, so a
    // batch of thousands of rows costs no more than its ranges.
    class RemoveMap {
    public:
        RemoveMap(const IndexSet& indexes, int count);
        // Ascending calls only.
        int operator()(int old);
        int newCount() const { return m_count; }
        const IndexSet& removed() const { return m_removed; }

    private:
        IndexSet m_removed;
        size_t m_next = 0;
        int m_below = 0; // removed indexes in the ranges before m_next
        int m_count = 0;
    };

private:
    SelectionChange replace(IndexSet next);
    // The anchor, cursor and pending press that are set, lowest first: each map is walked once.
    std::vector<int*> marks();

    IndexSet m_selection;
    int m_count = 0;
    int m_anchor = -1;
    int m_cursor = -1;
    int m_pending = -1;
    bool m_multiple = false;
    bool m_allowsEmpty = true;
};

} // namespace kit
