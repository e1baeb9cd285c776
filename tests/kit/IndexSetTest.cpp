#include "kit/IndexSet.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <limits>
#include <set>

using kit::IndexSet;

TEST(IndexSet, HugeAndNegativeIndexesNeverOverflow) {
    constexpr int kMax = std::numeric_limits<int>::max();
    IndexSet s = IndexSet::range(kMax - 2, 100);
    EXPECT_EQ(s.count(), 2);
    EXPECT_EQ(s.last(), kMax - 1);
    s.removeRange(kMax - 1, kMax);
    EXPECT_EQ(s.toList(), QList<int>({kMax - 2}));
    EXPECT_EQ(IndexSet::range(5, kMax).intersectedWithRange(10, kMax).first(), 10);
    EXPECT_TRUE(IndexSet(-3).isEmpty());
    EXPECT_EQ(IndexSet::range(-3, 5).toList(), QList<int>({0, 1}));
    EXPECT_TRUE(IndexSet::range(std::numeric_limits<int>::min(), kMax).isEmpty());
}

TEST(IndexSet, ExtremeShiftsDropWhatFallsOutsideInsteadOfWrapping) {
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    IndexSet s{1, 5, kMax - 2};
    s.shift(3, kMax);
    EXPECT_EQ(s.toList(), QList<int>({1})); // 5 and kMax - 2 would pass the largest index
    IndexSet t = IndexSet::range(0, 10);
    t.shift(4, kMin); // drops everything from 0 to 4, then moves the rest below 0: gone
    EXPECT_TRUE(t.isEmpty());
    IndexSet u{kMax - 3, kMax - 1};
    u.shift(kMax - 1, kMin);
    EXPECT_TRUE(u.isEmpty());
    IndexSet v{2, 3};
    v.shift(kMin, 1); // a start below 0 moves every index
    EXPECT_EQ(v.toList(), QList<int>({3, 4}));
    IndexSet w = IndexSet::range(kMax - 10, 10);
    w.shift(kMax - 5, 3); // a split range whose upper part reaches the end
    EXPECT_EQ(w.count(), 7);
    EXPECT_EQ(w.last(), kMax - 1);
}

TEST(IndexSet, AddingInAnyOrderGivesTheSameRanges) {
    // Ascending adds (the common case), touching and overlapping the last range, and random ones.
    QRandomGenerator rng(3);
    for (const bool ascending : {true, false}) {
        IndexSet set;
        std::set<int> plain;
        int at = 0;
        for (int k = 0; k < 3000; ++k) {
            const int first = ascending ? at + int(rng.bounded(3)) - 1 : int(rng.bounded(20000));
            const int count = int(rng.bounded(4));
            set.addRange(first, count);
            for (int i = std::max(first, 0); i < first + count; ++i)
                plain.insert(i);
            at = std::max(at, first + count);
        }
        std::vector<std::pair<int, int>> expected;
        for (int i : plain) {
            if (!expected.empty() && expected.back().second == i)
                ++expected.back().second;
            else
                expected.emplace_back(i, i + 1);
        }
        EXPECT_EQ(set.ranges(), expected) << ascending;
    }
}
