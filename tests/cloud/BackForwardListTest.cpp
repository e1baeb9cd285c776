#include "cloud/KZBackForwardList.h"

#include <gtest/gtest.h>

namespace {

BackForwardItemPtr folder(qint64 nid, const QString& name = {}) {
    return BackForwardItem::backForwardItemWithNid(nid, name.isEmpty() ? QString::number(nid) : name);
}

QList<qint64> entries(const KZBackForwardList& list) {
    QList<qint64> out;
    for (auto n = std::static_pointer_cast<BackForwardItem>(list.head()); n; n = n->nextItem())
        out << n->nid();
    return out;
}

} // namespace

TEST(BackForwardList, FreshHistoryHoldsOnlyTheRoot) {
    KZBackForwardList list;
    list.login();
    EXPECT_EQ(list.backForward(), 0);
    EXPECT_EQ(list.curNode()->nid(), 0);
    EXPECT_EQ(list.curNode()->name(), "/");
    EXPECT_EQ(list.head(), list.tail());
    EXPECT_EQ(list.goBack(), list.curNode());
    EXPECT_EQ(list.goForward(), list.curNode());
}

TEST(BackForwardList, BackThenOpenDropsTheForwardEntries) {
    KZBackForwardList list;
    list.login();
    list.insertNode(folder(1));
    list.insertNode(folder(2));
    EXPECT_EQ(list.backForward(), 2);
    EXPECT_EQ(list.goBack()->nid(), 1);
    EXPECT_EQ(list.backForward(), 3);
    list.insertNode(folder(3));
    EXPECT_EQ(list.curNode()->nid(), 3);
    EXPECT_EQ(list.tail(), list.curNode());
    EXPECT_EQ(list.backForward(), 2);
    EXPECT_EQ(entries(list), QList<qint64>({0, 1, 3}));

    // Forward at the last entry and back at the first leave the current entry as it is.
    EXPECT_EQ(list.goForward()->nid(), 3);
    list.goBack();
    list.goBack();
    EXPECT_EQ(list.goBack()->nid(), 0);
    EXPECT_EQ(list.backForward(), 1);
}

TEST(BackForwardList, OpeningAfterBackDropsLaterEntriesEvenWhenTheLastOneIsTheSameFolder) {
    KZBackForwardList list;
    list.login();
    for (qint64 nid : {1, 2, 1}) // root, A, B, A
        list.insertNode(folder(nid));
    list.goBack();
    EXPECT_EQ(list.goBack()->nid(), 1); // the first A
    list.insertNode(folder(3));
    EXPECT_EQ(entries(list), QList<qint64>({0, 1, 3}));
    EXPECT_EQ(list.goBack()->nid(), 1);
    EXPECT_EQ(list.goBack()->nid(), 0);
}

TEST(BackForwardList, EqualEntriesAreNotAddedTwice) {
    KZBackForwardList list;
    list.login();
    list.insertNode(folder(1, "A"));
    list.insertNode(folder(1, "A again"));
    EXPECT_EQ(entries(list), QList<qint64>({0, 1}));
    EXPECT_EQ(list.curNode()->name(), "A");
    // A search from a folder is another kind of entry, even with the same node id.
    list.insertNode(BackForwardItem::searchItem(1, 1, "key"));
    EXPECT_EQ(entries(list), QList<qint64>({0, 1, 1}));
    EXPECT_TRUE(list.curNode()->isSearch());
}

TEST(BackForwardList, DeletingAMiddleEntryDropsItAndEveryLaterOne) {
    KZBackForwardList list;
    list.login();
    for (qint64 nid : {1, 2, 3, 4})
        list.insertNode(folder(nid));
    list.goBack(); // current 3
    list.deleteObeject(folder(2));
    EXPECT_EQ(entries(list), QList<qint64>({0, 1}));
    EXPECT_EQ(list.curNode()->nid(), 1); // the current entry went: the last one takes over
    EXPECT_EQ(list.tail()->isEqual(*folder(1)), true);
    EXPECT_EQ(list.backForward(), 2);

    list.deleteObeject(folder(99)); // none equal: nothing changes
    EXPECT_EQ(entries(list), QList<qint64>({0, 1}));

    // A current entry before the deleted one stays current.
    list.insertNode(folder(5));
    list.insertNode(folder(6));
    list.goBack();
    list.goBack();
    list.deleteObeject(folder(6));
    EXPECT_EQ(list.curNode()->nid(), 1);
    EXPECT_EQ(entries(list), QList<qint64>({0, 1, 5}));
    EXPECT_EQ(list.allNids(), QSet<qint64>({0, 1, 5}));
}

TEST(BackForwardList, NameChangeUpdatesOnlyTheFirstMatch) {
    KZBackForwardList list;
    list.login();
    list.insertNode(folder(1, "old"));
    list.insertNode(folder(2));
    list.insertNode(folder(1, "old"));
    list.updateItem(folder(1, "new"));
    auto first = list.curNode()->preItem()->preItem();
    EXPECT_EQ(first->name(), "new");
    EXPECT_EQ(list.curNode()->name(), "old");
}

TEST(BackForwardList, LogoutEmptiesAndLoginRestores) {
    KZBackForwardList list;
    list.login();
    list.insertNode(folder(1));
    list.logout();
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_TRUE(list.allNids().isEmpty());
    list.login();
    EXPECT_EQ(entries(list), QList<qint64>({0}));
    EXPECT_EQ(list.backForward(), 0);
}

TEST(BackForwardList, DeletingTheHeadKeepsTheEntriesAfterIt) {
    // A list restarted after sign-out has an ordinary folder as its head.
    KZBackForwardList list;
    list.login();
    list.logout();
    for (qint64 nid : {1, 2, 3})
        list.insertNode(folder(nid));
    list.goBack(); // current 2
    list.deleteObeject(folder(1));
    EXPECT_EQ(entries(list), QList<qint64>({2, 3}));
    EXPECT_EQ(list.head()->pre(), nullptr);
    EXPECT_EQ(list.curNode()->nid(), 2);
    EXPECT_EQ(list.backForward(), 1);
    EXPECT_EQ(list.goForward()->nid(), 3);
}
