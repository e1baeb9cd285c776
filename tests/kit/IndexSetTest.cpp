#include "kit/IndexSet.h"

#include <gtest/gtest.h>
#include <limits>

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
