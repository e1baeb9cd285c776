#include "kit/Drag.h"

#include <gtest/gtest.h>

using kit::drag::dropTargetTookDrop;

// A drop target's last word on a drag-out decides whether the files handed to it are kept:
// only a target that can refuse (protocol version 5 on) is taken at its word.
TEST(DropTargetAnswer, OnlyATargetThatCanRefuseIsTakenAtItsWord) {
    const quint32 target = 0x2a00007;
    const quint32 copy = 0x1c3; // an action atom, as version 5 sends in the third word
    EXPECT_TRUE(dropTargetTookDrop(5, {target, 1, copy, 0, 0}));
    EXPECT_FALSE(dropTargetTookDrop(5, {target, 0, 0, 0, 0}));
    EXPECT_FALSE(dropTargetTookDrop(6, {target, 2, 0, 0, 0})); // only bit 0 tells
    // Older targets always send 0 there: their answer means the drop is done, so it was taken.
    for (quint32 version : {0u, 3u, 4u})
        EXPECT_TRUE(dropTargetTookDrop(version, {target, 0, 0, 0, 0})) << version;
}
