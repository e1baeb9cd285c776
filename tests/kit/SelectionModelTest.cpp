#include "kit/SelectionModel.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using kit::IndexSet;
using kit::SelectionChange;
using kit::SelectionModel;

namespace {

// One user or program action on the model.
struct Step {
    enum Op { Press, Release, ReleaseDragged, Key, Select, Extend, All, Clear, Insert, Remove, Count } op;
    IndexSet indexes;
    int value = 0;
    Qt::KeyboardModifiers mods = {};
};

Step click(int i) {
    return {Step::Press, {}, i};
}
Step ctrl(int i) {
    return {Step::Press, {}, i, Qt::ControlModifier};
}
Step shift(int i) {
    return {Step::Press, {}, i, Qt::ShiftModifier};
}
Step up() {
    return {Step::Release, {}, 0};
}
Step key(int delta, Qt::KeyboardModifiers mods = {}) {
    return {Step::Key, {}, delta, mods};
}
Step op(Step::Op o, IndexSet indexes = {}, int value = 0) {
    return {o, std::move(indexes), value};
}

SelectionChange apply(SelectionModel& m, const Step& s) {
    switch (s.op) {
    case Step::Press:
        return m.press(s.value, s.mods);
    case Step::Release:
        return m.release(false);
    case Step::ReleaseDragged:
        return m.release(true);
    case Step::Key:
        return m.moveCursor(s.value, s.mods & Qt::ShiftModifier);
    case Step::Select:
        return m.select(s.indexes, false);
    case Step::Extend:
        return m.select(s.indexes, true);
    case Step::All:
        return m.selectAll();
    case Step::Clear:
        return m.clear();
    case Step::Insert:
        m.insert(s.indexes);
        return {};
    case Step::Remove:
        m.remove(s.indexes);
        return {};
    case Step::Count:
        return m.setCount(s.value);
    }
    return {};
}

struct Case {
    const char* name;
    std::vector<Step> steps;
    IndexSet expected;
    int anchor = -2; // -2: not checked
    bool multiple = true;
    bool allowsEmpty = true;
    int count = 10;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << c.name;
}

class SelectionSteps : public testing::TestWithParam<Case> {};

TEST_P(SelectionSteps, EndWithTheExpectedSelectionAndAnchor) {
    const Case& c = GetParam();
    SelectionModel m;
    m.setAllowsMultiple(c.multiple);
    m.setAllowsEmpty(c.allowsEmpty);
    (void)m.setCount(c.count);
    for (const Step& s : c.steps)
        (void)apply(m, s);
    EXPECT_EQ(m.selection().toList(), c.expected.toList());
    if (c.anchor != -2) {
        EXPECT_EQ(m.anchor(), c.anchor);
    }
    // Whatever happened, nothing outside the list is ever selected.
    EXPECT_TRUE(m.selection().isEmpty() || m.selection().last() < m.count());
}

const Case kCases[] = {
    {"plain click replaces", {op(Step::Select, {1, 2}), click(4), up()}, {4}, 4},
    {"ctrl toggles in and out", {click(2), up(), ctrl(5), ctrl(2)}, {5}, 2},
    {"shift ranges from the anchor, which stays",
     {click(5), up(), shift(2), shift(7)},
     IndexSet::range(5, 3),
     5},
    {"shift ranges backwards", {click(5), up(), shift(2)}, IndexSet::range(2, 4), 5},
    {"shift without an anchor is a plain click", {shift(3), up()}, {3}, 3},
    {"ctrl-click sets the anchor for a later shift", {click(1), up(), ctrl(6), shift(8)}, {6, 7, 8}, 6},
    {"programmatic selection anchors at its last index", {op(Step::Select, {2, 4}), shift(6)}, {4, 5, 6}, 4},
    {"press on a member keeps the selection until release", {click(1), up(), ctrl(3), click(3)}, {1, 3}},
    {"release of that press selects it alone", {click(1), up(), ctrl(3), click(3), up()}, {3}, 3},
    {"a press that became a drag keeps the selection",
     {click(1), up(), ctrl(3), click(3), op(Step::ReleaseDragged)},
     {1, 3}},
    {"press on no row clears", {op(Step::Select, {1, 2}), click(-1), up()}, {}},
    {"press past the end clears", {op(Step::Select, {1}), click(10)}, {}},
    {"press on no row keeps when empty is not allowed",
     {op(Step::Select, {1, 2}), click(-1), up()},
     {1, 2},
     -2,
     true,
     false},
    {"single: ctrl and shift act as plain clicks",
     {click(1), up(), ctrl(4), up(), shift(7), up()},
     {7},
     7,
     false},
    {"single: ctrl on the selected row keeps it", {click(4), up(), ctrl(4)}, {4}, 4, false},
    {"single: a selection of several keeps the last", {op(Step::Extend, {1, 4})}, {4}, 4, false},
    {"single: select all changes nothing", {click(2), op(Step::All)}, {2}, -2, false},
    {"select all takes every row", {op(Step::All)}, IndexSet::range(0, 10)},
    {"extending adds, out-of-range indexes are dropped",
     {op(Step::Select, {1, 2}), op(Step::Extend, {5, 50})},
     {1, 2, 5}},
    {"down from nothing selects the first row", {key(1)}, {0}, 0},
    {"up from nothing selects the last row", {key(-1)}, {9}, 9},
    {"arrows stop at the ends", {op(Step::Select, {9}), key(1), key(1)}, {9}},
    {"shift-down extends from the anchor",
     {click(2), up(), key(1, Qt::ShiftModifier), key(1, Qt::ShiftModifier)},
     {2, 3, 4},
     2},
    {"shift-up after shift-down shrinks back",
     {click(2), up(), key(1, Qt::ShiftModifier), key(1, Qt::ShiftModifier), key(-1, Qt::ShiftModifier)},
     {2, 3}},
    {"a plain arrow re-anchors, shift then ranges from there",
     {click(5), up(), shift(7), key(-1), key(-1, Qt::ShiftModifier)},
     {5, 6},
     6},
    {"a plain arrow after a range goes on from the last click", {click(2), up(), shift(5), key(1)}, {6}, 6},
    {"single: shift-arrows move one row", {click(2), up(), key(1, Qt::ShiftModifier)}, {3}, 3, false},
    {"insertions move selected rows and the anchor",
     {op(Step::Select, {1, 3, 5}), op(Step::Insert, {0, 4})},
     {2, 5, 7},
     7},
    {"insertions past the end are clamped to it", {op(Step::Select, {9}), op(Step::Insert, {40, 41})}, {9}},
    {"removals drop and shift", {op(Step::Select, {1, 3, 5}), op(Step::Remove, {0, 3})}, {0, 3}, 3},
    {"a removed anchor is forgotten: shift clicks plainly",
     {click(4), up(), op(Step::Remove, {4}), shift(6)},
     {6},
     6},
    {"removing the pending row leaves no release to run",
     {click(1), up(), ctrl(3), click(3), op(Step::Remove, {3}), up()},
     {1}},
    {"a shorter list drops rows beyond it and the anchor",
     {click(8), up(), op(Step::Count, {}, 5), shift(2)},
     {2},
     2},
};

INSTANTIATE_TEST_SUITE_P(Table, SelectionSteps, testing::ValuesIn(kCases));

} // namespace

TEST(SelectionModel, ChangesCarryThePreviousAndCurrentSelection) {
    SelectionModel m;
    m.setAllowsMultiple(true);
    (void)m.setCount(10);
    (void)m.select({1, 2, 3}, false);
    const SelectionChange c = m.press(5, Qt::ShiftModifier);
    EXPECT_EQ(c.previous, (IndexSet{1, 2, 3}));
    EXPECT_EQ(c.current, (IndexSet{3, 4, 5}));
    EXPECT_EQ(c.added(), (IndexSet{4, 5}));
    EXPECT_EQ(c.removed(), (IndexSet{1, 2}));
    EXPECT_TRUE(c.changed());
    EXPECT_FALSE(m.clear().previous.isEmpty());
    EXPECT_FALSE(m.clear().changed());
}

TEST(SelectionModel, RemovalTellsWhetherASelectedRowWent) {
    SelectionModel m;
    m.setAllowsMultiple(true);
    (void)m.setCount(6);
    (void)m.select({2}, false);
    EXPECT_FALSE(m.remove({0, 5}));
    EXPECT_EQ(m.selection(), IndexSet(1));
    EXPECT_FALSE(m.remove({40}));
    EXPECT_TRUE(m.remove({1}));
    EXPECT_EQ(m.count(), 3);
}

TEST(SelectionModel, MapsMoveOldIndexesAsTheSelectionMoves) {
    // Rows 0..5 with new rows at 0 and 4 (their final places): old 3 ends at 5.
    SelectionModel::InsertMap insert({0, 4}, 6);
    EXPECT_EQ(insert(0), 1);
    EXPECT_EQ(insert(2), 3);
    EXPECT_EQ(insert(3), 5);
    EXPECT_EQ(insert(5), 7);
    EXPECT_EQ(insert.newCount(), 8);
    SelectionModel::RemoveMap remove({1, 3, 9}, 6);
    EXPECT_EQ(remove(0), 0);
    EXPECT_EQ(remove(1), -1);
    EXPECT_EQ(remove(2), 1);
    EXPECT_EQ(remove(4), 2);
    EXPECT_EQ(remove.newCount(), 4);
}

TEST(SelectionModel, LargeBatchesMoveTheSelectionAnchorAndCursorLikeSingleRows) {
    // Batches of many scattered ranges against the same changes made one row at a time on a
    // plain list of row identities.
    for (quint32 seed : {1u, 2u, 3u}) {
        QRandomGenerator rng(seed);
        SelectionModel m;
        m.setAllowsMultiple(true);
        (void)m.setCount(3000);
        QList<int> ids;
        for (int i = 0; i < 3000; ++i)
            ids.append(i);
        int nextId = 3000;
        IndexSet chosen;
        for (int i = 0; i < 300; ++i)
            chosen.add(int(rng.bounded(3000)));
        (void)m.select(chosen, false);
        (void)m.press(int(rng.bounded(3000)), Qt::ControlModifier); // anchor and cursor
        for (int round = 0; round < 6; ++round) {
            const int anchorId = m.anchor() >= 0 ? ids.at(m.anchor()) : -1;
            QList<int> selected;
            m.selection().forEach([&](int i) { selected.append(ids.at(i)); });

            IndexSet removed;
            for (int i = 0; i < 800; ++i)
                removed.addRange(int(rng.bounded(int(ids.size()))), 1 + int(rng.bounded(3)));
            removed = removed.intersectedWithRange(0, int(ids.size()));
            const bool lost = m.remove(removed);
            bool expectLost = false;
            for (int i = removed.last(); i >= 0; --i)
                if (removed.contains(i)) {
                    expectLost = expectLost || selected.contains(ids.at(i));
                    ids.removeAt(i);
                }
            EXPECT_EQ(lost, expectLost);
            IndexSet inserted;
            for (int i = 0; i < 900; ++i)
                inserted.add(int(rng.bounded(int(ids.size()) + 900)));
            m.insert(inserted);
            inserted.forEach([&](int i) { ids.insert(std::min<qsizetype>(i, ids.size()), nextId++); });

            ASSERT_EQ(m.count(), int(ids.size())) << seed << " " << round;
            QList<int> after;
            m.selection().forEach([&](int i) { after.append(ids.at(i)); });
            QList<int> expected;
            for (int id : selected)
                if (ids.contains(id))
                    expected.append(id);
            std::sort(after.begin(), after.end());
            std::sort(expected.begin(), expected.end());
            ASSERT_EQ(after, expected) << seed << " " << round;
            const int anchorNow = ids.indexOf(anchorId);
            ASSERT_EQ(m.anchor(), anchorId >= 0 ? int(anchorNow) : -1) << seed << " " << round;
            ASSERT_EQ(m.cursor(), m.anchor()) << seed << " " << round;
        }
    }
}
