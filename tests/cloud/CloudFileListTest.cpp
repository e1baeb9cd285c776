#include "cloud/CloudFileList.h"
#include "cloud/KZNodeTree.h"

#include <QRandomGenerator>
#include <QSet>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using nubo::KZNodeTree;
using nubo::NodeList;
using nubo::NodeRecord;

namespace {

NodeRecord rec(qint64 nid, qint64 pid, const QString& name, bool dir, qint32 mtime) {
    NodeRecord r;
    r.nid = nid;
    r.pid = pid;
    r.name = name;
    r.isDir = dir;
    r.mtime = mtime;
    return r;
}

// A folder (nid 1) of `count` children with names that collide in case and digits, so that keys
// tie and the exact name or the node id decides.
KZNodeTree& treeOf(KZNodeTree& tree, int count) {
    static const char* stems[] = {"a", "A", "b", "a1", "a01", "报告", "Ä"};
    NodeList nodes{rec(1, 0, QStringLiteral("Dir"), true, 0)};
    for (qint64 nid = 2; nid < count + 2; ++nid) {
        NodeRecord r = rec(nid, 1, QString::fromUtf8(stems[nid % 7]) + QString::number(nid % 5), nid % 4 == 0,
                           qint32(nid % 9));
        // Names may repeat in a folder here (the tree keeps them apart by id).
        r.size = quint64(nid * 3);
        r.ctime = qint32(nid);
        r.category = nid % 3 == 0 ? 1 : 0;
        r.version = nid * 2;
        r.isLink = nid % 5 == 0;
        r.isSync = nid % 6 == 0;
        r.isEditLock = nid % 7 == 0;
        r.fileHash =
            nid % 2 ? QString(40, QLatin1Char('a' + nid % 6)) : QStringLiteral("not-hex-%1").arg(nid);
        nodes << r;
    }
    tree.reset(nodes);
    return tree;
}

QList<const CloudFileInfo*> identities(const CloudFileList& list) {
    QList<const CloudFileInfo*> out;
    for (const CloudFileInfoPtr& f : list)
        out.append(f.get());
    return out;
}

QList<const CloudFileInfo*> identities(const QList<CloudFileInfoPtr>& list) {
    QList<const CloudFileInfo*> out;
    for (const CloudFileInfoPtr& f : list)
        out.append(f.get());
    return out;
}

} // namespace

TEST(CloudFileList, ListedRowsMakeEachRecordOnceWithEveryField) {
    KZNodeTree tree;
    treeOf(tree, 9000); // several parts
    const CloudFileList rows = tree.list(1, false, 0);
    ASSERT_EQ(rows.size(), 9000);
    EXPECT_EQ(rows.sortedBy(), 0);
    for (qsizetype i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows.made(i), nullptr);

    // Read without records: ids, kinds and names.
    for (qsizetype i = 0; i < rows.size(); i += 97) {
        const CloudFileInfoPtr want = tree.fileInfo(rows.nid(i));
        ASSERT_NE(want, nullptr);
        EXPECT_EQ(rows.isDirectory(i), want->isDirectory());
        EXPECT_EQ(rows.name(i), want->name());
    }
    EXPECT_EQ(rows.made(5), nullptr);

    // A record has every field of the node, and asking again (or through a copy) answers it.
    const CloudFileList copy = rows;
    for (qsizetype i = 0; i < rows.size(); i += 89) {
        const CloudFileInfoPtr f = rows.at(i);
        const CloudFileInfoPtr want = tree.fileInfo(f->nid());
        EXPECT_EQ(f->name(), want->name());
        EXPECT_EQ(f->path(), want->path());
        EXPECT_EQ(f->pid(), 1);
        EXPECT_EQ(f->isDirectory(), want->isDirectory());
        EXPECT_EQ(f->m_size(), want->m_size());
        EXPECT_EQ(f->m_fmtime(), want->m_fmtime());
        EXPECT_EQ(f->m_fctime(), want->m_fctime());
        EXPECT_EQ(f->m_category(), want->m_category());
        EXPECT_EQ(f->m_version(), want->m_version());
        EXPECT_EQ(f->m_fileHash(), want->m_fileHash());
        EXPECT_EQ(f->m_isLink(), want->m_isLink());
        EXPECT_EQ(f->m_isSync(), want->m_isSync());
        EXPECT_EQ(f->m_isEditLock(), want->m_isEditLock());
        EXPECT_EQ(f->nameSortKey(), want->nameSortKey());
        EXPECT_EQ(rows.at(i), f);
        EXPECT_EQ(copy.at(i), f);
        EXPECT_EQ(rows.made(i), f.get());
        EXPECT_EQ(rows.indexOf(f), i);
    }
    // A made record answers for its row, changes included.
    const CloudFileInfoPtr changed = rows.at(3);
    changed->setName(QStringLiteral("zzz"));
    changed->setIsDirectory(!rows.isDirectory(3));
    EXPECT_EQ(rows.name(3), "zzz");
    EXPECT_EQ(rows.isDirectory(3), changed->isDirectory());

    // The records outlive the list.
    const CloudFileInfoPtr kept = rows.at(7);
    const QString name = kept->name();
    { const CloudFileList gone = std::move(const_cast<CloudFileList&>(copy)); }
    EXPECT_EQ(kept->name(), name);
}

TEST(CloudFileList, ThreadsAskingForTheSameRowsGetTheSameRecords) {
    KZNodeTree tree;
    treeOf(tree, 20000);
    const CloudFileList rows = tree.list(1, false, 3);
    std::vector<std::vector<const CloudFileInfo*>> seen(4);
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&, t] {
            for (qsizetype i = 0; i < rows.size(); ++i)
                seen[size_t(t)].push_back(rows.at(i).get());
        });
    for (auto& r : readers)
        r.join();
    for (int t = 1; t < 4; ++t)
        EXPECT_EQ(seen[size_t(t)], seen[0]);
    for (qsizetype i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows.made(i), seen[0][size_t(i)]);
}

TEST(CloudFileList, RowComparisonsAgreeWithTheRecordsInEveryMode) {
    KZNodeTree tree;
    treeOf(tree, 700);
    for (int mode : {0, 1, 2, 3}) {
        const CloudFileList rows = tree.list(1, false, mode);
        const QList<CloudFileInfoPtr> records = CloudFileList(tree.list(1, false, mode)).toList();
        // Some rows made (one of them renamed), the rest still packed.
        rows.at(10)->setName(QStringLiteral("a"));
        for (qsizetype i = 0; i < rows.size(); i += 3)
            rows.at(i);
        QRandomGenerator rng(mode + 1);
        for (int k = 0; k < 3000; ++k) {
            const qsizetype a = rng.bounded(int(rows.size())), b = rng.bounded(int(rows.size()));
            const CloudFileInfo& ra = a == 10 ? *rows.at(10) : *records.at(a);
            const CloudFileInfo& rb = b == 10 ? *rows.at(10) : *records.at(b);
            ASSERT_EQ(rows.compareRows(a, b, mode), ra.compareBySortMode(rb, mode))
                << mode << " " << a << " " << b;
            ASSERT_EQ(rows.compareRow(a, rb, mode), ra.compareBySortMode(rb, mode))
                << mode << " " << a << " " << b;
        }
        // The listing is in its mode's order by the comparison as well (times may tie).
        const CloudFileList fresh = tree.list(1, false, mode);
        for (qsizetype i = 1; i < fresh.size(); ++i)
            ASSERT_LT(fresh.compareRows(i - 1, i, mode), mode < 2 ? 0 : 1) << mode << " " << i;
    }
}

TEST(CloudFileList, EditsKeepTheRowsOfAPlainList) {
    // Random edits on listed rows and single records, checked against a QList of the same records.
    KZNodeTree tree;
    treeOf(tree, 5000);
    CloudFileList list = tree.list(1, false, 0);
    QList<CloudFileInfoPtr> model;
    for (qsizetype i = 0; i < list.size(); ++i)
        model.append(nullptr); // filled as rows are made, below
    const auto sync = [&] {
        for (qsizetype i = 0; i < list.size(); ++i)
            model[i] = list.at(i);
    };
    sync();
    QRandomGenerator rng(3);
    qint64 nextNid = 1'000'000;
    for (int step = 0; step < 400; ++step) {
        const int op = rng.bounded(7);
        const qsizetype at = list.isEmpty() ? 0 : rng.bounded(int(list.size()));
        if (op == 0) {
            auto f = CloudFileInfo::create();
            f->setNid(nextNid++);
            list.insert(at, f);
            model.insert(at, f);
        } else if (op == 1 && !list.isEmpty()) {
            const qsizetype n = rng.bounded(40);
            list.remove(at, n);
            model.remove(at, std::min(n, model.size() - at));
        } else if (op == 2) {
            const qsizetype len = rng.bounded(200);
            const CloudFileList part = list.mid(at, len);
            list.append(part);
            model.append(model.mid(at, len));
        } else if (op == 3) {
            const int mod = 2 + rng.bounded(50);
            list.removeRowsIf([&](qsizetype i) { return list.nid(i) % mod == 0; });
            model.removeIf([&](const CloudFileInfoPtr& f) { return f->nid() % mod == 0; });
        } else if (op == 4 && !list.isEmpty()) {
            list.removeLast();
            model.removeLast();
        } else if (op == 5) {
            auto f = CloudFileInfo::create();
            f->setNid(nextNid++);
            list.append(f);
            model.append(f);
        } else {
            list.prepend(nullptr); // never held
        }
        ASSERT_EQ(list.size(), model.size()) << step;
    }
    EXPECT_EQ(identities(list), identities(model));
    for (qsizetype i = 0; i < list.size(); ++i)
        ASSERT_EQ(list.nid(i), model.at(i)->nid());
    EXPECT_EQ(list.indexOf(CloudFileInfo::create()), -1);
    EXPECT_EQ(list.value(list.size()), nullptr);
    EXPECT_EQ(list.value(-1), nullptr);
}

TEST(CloudFileList, SortedInsertsPlaceRecordsAndOnlyAddingForgetsTheOrder) {
    KZNodeTree tree;
    treeOf(tree, 300);
    CloudFileList list = tree.list(1, false, 0);
    list.removeRowsIf([](qsizetype i) { return i % 2; });
    list.remove(0, 3);
    EXPECT_EQ(list.sortedBy(), 0);

    QList<CloudFileInfoPtr> added;
    for (const QString& name : {QStringLiteral("0"), QStringLiteral("a3"), QStringLiteral("zz")}) {
        auto f = CloudFileInfo::create();
        f->setName(name);
        f->setNid(900000 + added.size());
        added.append(f);
    }
    std::vector<qsizetype> at;
    for (const auto& f : added) {
        qsizetype row = 0;
        while (row < list.size() && list.compareRow(row, *f, 0) <= 0)
            ++row;
        at.push_back(row);
    }
    const qsizetype before = list.size();
    const std::vector<qsizetype> rows = list.insertSorted(added, at);
    ASSERT_EQ(list.size(), before + 3);
    for (size_t k = 0; k < rows.size(); ++k)
        EXPECT_EQ(list.at(rows[k]), added.at(qsizetype(k)));
    for (qsizetype i = 1; i < list.size(); ++i)
        ASSERT_LT(list.compareRows(i - 1, i, 0), 0) << i;

    list.append(CloudFileInfo::create());
    EXPECT_EQ(list.sortedBy(), -1);
}

TEST(CloudFileList, IdScansAgreeWithEachRowInEveryKindOfList) {
    const auto single = [](qint64 nid) {
        auto f = CloudFileInfo::create();
        f->setNid(nid);
        return f;
    };
    KZNodeTree tree;
    treeOf(tree, 3000);
    CloudFileList rows = tree.list(1, false, 0);
    // Made records answer for themselves, even with a changed id; singles, a lazily filled
    // search and edits mix the parts.
    rows.at(5);
    rows.at(700)->setNid(777777);
    rows.insert(10, single(900001));
    rows.remove(20, 30);
    rows.append(tree.search(0, QStringLiteral("a"), 0));
    rows.append(single(900002));
    rows.append(tree.list(1, false, 2).mid(0, 100));
    ASSERT_GT(rows.size(), 3000);
    bool changedIdSeen = false;
    for (const auto& [from, to] :
         std::vector<std::pair<qsizetype, qsizetype>>{{0, -1}, {3, 2900}, {2990, 3200}}) {
        QList<qint64> scanned, read;
        qsizetype next = from;
        rows.forEachNid(
            [&](qsizetype row, qint64 nid) {
                EXPECT_EQ(row, next++);
                scanned.append(nid);
                changedIdSeen = changedIdSeen || nid == 777777;
            },
            from, to);
        for (qsizetype i = from; i < (to < 0 ? rows.size() : to); ++i)
            read.append(rows.nid(i));
        EXPECT_EQ(scanned, read) << from << " " << to;
    }
    EXPECT_TRUE(changedIdSeen);
}

TEST(CloudFileList, OneSplicePassRemovesAndInsertsLikeTheTwoEdits) {
    // Rows of a listing and single records; removals anywhere (also where records go, at both
    // ends and in runs), additions in runs at one place, at the start and past the end.
    KZNodeTree tree;
    treeOf(tree, 300);
    QRandomGenerator rng(11);
    for (int round = 0; round < 20; ++round) {
        CloudFileList rows = tree.list(1, false, 0);
        rows.insert(rng.bounded(int(rows.size())), CloudFileInfo::create());
        const QList<CloudFileInfoPtr> before = rows.toList();
        std::vector<quint64> removed(size_t(rows.size()) / 64 + 1);
        QSet<const CloudFileInfo*> gone;
        for (qsizetype i = 0; i < rows.size(); ++i)
            if (rng.bounded(3) == 0 || (round % 2 && (i == 0 || i == rows.size() - 1))) {
                removed[size_t(i) / 64] |= quint64(1) << (i % 64);
                gone.insert(before.at(i).get());
            }
        QList<CloudFileInfoPtr> added;
        std::vector<qsizetype> at;
        for (int k = 0; k < 40; ++k) {
            added.append(CloudFileInfo::create());
            at.push_back(k == 0 && round % 3 == 0 ? 0 : qsizetype(rng.bounded(int(rows.size()) + 5)));
        }
        std::sort(at.begin(), at.end());
        CloudFileList twoEdits = rows;
        const auto insertedAt = twoEdits.insertSorted(added, at);
        QList<CloudFileInfoPtr> expected = twoEdits.toList();
        expected.removeIf([&](const CloudFileInfoPtr& f) { return gone.contains(f.get()); });
        const auto placed = rows.spliceSorted(
            removed, added.size(), [&](qsizetype k) { return added.at(k); }, at);
        EXPECT_EQ(identities(rows), identities(expected)) << round;
        ASSERT_EQ(placed.size(), added.size());
        for (qsizetype k = 0; k < added.size(); ++k)
            EXPECT_EQ(rows.made(placed[size_t(k)]), added.at(k).get()) << round << " " << k;
        EXPECT_EQ(insertedAt.size(), placed.size());
    }
}
