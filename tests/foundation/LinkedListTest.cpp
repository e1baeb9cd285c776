#include "foundation/KZDoublyLinkedList.h"

#include <gtest/gtest.h>

using namespace nubo;

TEST(DoublyLinkedList, ALongChainFreesItselfAndAHeldNodeKeepsItsLinks) {
    auto chain = [](int n) {
        KZDoublyLinkedList list;
        for (int i = 0; i < n; ++i) {
            auto node = std::make_shared<Node>();
            if (!list.head())
                list.setHead(node);
            list.insertTail(node);
        }
        return list;
    };
    {
        KZDoublyLinkedList list = chain(1'000'000); // no deep recursion when it goes
    }
    KZDoublyLinkedList list = chain(4);
    std::weak_ptr<Node> first = list.head();
    std::shared_ptr<Node> second = list.head()->next();
    list.setHead(second); // the old head goes; what follows it must stay linked
    EXPECT_TRUE(first.expired());
    ASSERT_TRUE(second->next());
    ASSERT_TRUE(second->next()->next());
    EXPECT_EQ(second->next()->next(), list.tail());
    list.destroy();
    EXPECT_EQ(list.head(), nullptr);
}
