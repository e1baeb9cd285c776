#include "cloud/CloudFileInfo.h"
#include "cloud/CloudFileList.h"
#include "cloud/KZNodeTree.h"
#include "cloud/NameCollation.h"
#include "support/CloudPrinters.h"

#include <QMap>
#include <QRandomGenerator>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using nubo::KZNodeTree;
using nubo::NodeList;
using nubo::NodeRecord;

namespace {

NodeRecord rec(qint64 nid, qint64 pid, const QString& name, bool dir = false, qint32 mtime = 0) {
    NodeRecord r;
    r.nid = nid;
    r.pid = pid;
    r.name = name;
    r.isDir = dir;
    r.mtime = mtime;
    return r;
}

NodeRecord removed(qint64 nid, qint64 pid, const QString& name) {
    NodeRecord r = rec(nid, pid, name);
    r.status = 1;
    return r;
}

QStringList names(const CloudFileList& files) {
    QStringList out;
    for (const auto& f : files)
        out << f->name();
    return out;
}

std::vector<qint64> sorted(std::vector<qint64> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// A name of 1 to `maxLength` characters drawn from `alphabet`.
QString randomName(QRandomGenerator& rng, const QString& alphabet, int maxLength) {
    QString name;
    const int len = 1 + rng.bounded(maxLength);
    for (int i = 0; i < len; ++i)
        name += alphabet[rng.bounded(int(alphabet.size()))];
    return name;
}

// A search of the whole tree for each key finds exactly the names of `all` (by id) that hold it,
// case aside.
void expectSearchesMatch(const KZNodeTree& tree, const QHash<qint64, QString>& all,
                         std::initializer_list<const char*> keys) {
    for (const char* k : keys) {
        const QString key = QString::fromUtf8(k);
        std::vector<qint64> expected;
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            if (it.value().contains(key, Qt::CaseInsensitive))
                expected.push_back(it.key());
        EXPECT_EQ(sorted(tree.searchNids(0, key)), sorted(expected)) << key.toStdString();
    }
}

} // namespace

TEST(NodeTree, SearchFindsExactlyTheCaseInsensitiveSubstringMatches) {
    // Random names over a small alphabet of Latin letters of both cases, digits and Chinese
    // characters, so that partial and overlapping matches are common.
    const QString alphabet = QStringLiteral("aAbBcC01 ._报告文件夹照片Ää");
    QRandomGenerator rng(7);
    NodeList nodes;
    QHash<qint64, QString> all;
    for (qint64 nid = 1; nid <= 3000; ++nid) {
        const QString name = randomName(rng, alphabet, 8);
        const qint64 pid = nid <= 20 ? 0 : 1 + rng.bounded(20);
        nodes << rec(nid, pid, name, nid <= 20);
        all.insert(nid, name);
    }
    KZNodeTree tree;
    tree.reset(nodes);
    ASSERT_EQ(tree.count(), 3000);

    // Renames and removals on the way must not leave stale names findable.
    NodeList changes;
    for (qint64 nid = 100; nid < 400; nid += 3) {
        changes << rec(nid, nodes[nid - 1].pid, QStringLiteral("报告a") + QString::number(nid));
        all[nid] = changes.last().name;
    }
    for (qint64 nid = 401; nid < 600; nid += 5) {
        changes << removed(nid, nodes[nid - 1].pid, all[nid]);
        all.remove(nid);
    }
    tree.apply(changes);

    expectSearchesMatch(tree, all,
                        {"a", "A", "ab", "报告", "报", "ä", "Ä", "1", "a.", " ", "zz", "报告a1", "aAbB"});

    // Under a folder only its subtree counts.
    std::vector<qint64> underFive;
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if (it.key() > 20 && nodes[it.key() - 1].pid == 5 && it.value().contains("a", Qt::CaseInsensitive))
            underFive.push_back(it.key());
    EXPECT_EQ(sorted(tree.searchNids(5, "a")), sorted(underFive));
    EXPECT_TRUE(tree.searchNids(0, "").empty());
}

TEST(NodeTree, ChildrenFollowMovesRenamesAndRemovals) {
    KZNodeTree tree;
    // Children listed before their parents still find them.
    tree.reset({rec(11, 10, "x.txt"), rec(10, 1, "inner", true), rec(1, 0, "top", true), rec(2, 0, "b", true),
                rec(50, 99, "orphan")});
    EXPECT_EQ(tree.count(), 4);
    EXPECT_FALSE(tree.contains(50));
    EXPECT_EQ(tree.fileInfo(11)->path(), "/top/inner/x.txt");
    EXPECT_EQ(tree.nidForPath("/top/inner"), 10);
    EXPECT_EQ(tree.nidForPath("/top/none"), -1);

    auto changes = tree.apply({rec(10, 2, "moved", true)});
    ASSERT_EQ(changes.size(), 1);
    EXPECT_TRUE(changes[0].existed);
    EXPECT_EQ(changes[0].oldPid, 1);
    EXPECT_EQ(changes[0].oldName, "inner");
    EXPECT_EQ(tree.fileInfo(11)->path(), "/b/moved/x.txt");
    EXPECT_TRUE(tree.list(1, false, 0).isEmpty());
    EXPECT_EQ(names(tree.list(2, false, 0)), QStringList({"moved"}));
    EXPECT_TRUE(tree.searchNids(0, "inner").empty());
    EXPECT_EQ(tree.searchNids(0, "moved"), std::vector<qint64>({10}));

    // A move into its own subtree cannot be placed: the node is dropped, never looped.
    changes = tree.apply({rec(2, 10, "b", true)});
    ASSERT_EQ(changes.size(), 1);
    EXPECT_TRUE(changes[0].node.isDeleted());
    EXPECT_FALSE(tree.contains(2));
    EXPECT_FALSE(tree.contains(11));

    tree.apply({removed(1, 0, "top")});
    EXPECT_EQ(tree.count(), 0);
    EXPECT_TRUE(tree.list(0, false, 0).isEmpty());
}

TEST(NodeTree, ListingsSortLikeTheRowComparators) {
    KZNodeTree tree;
    tree.reset({rec(1, 0, "b", true, 30), rec(2, 0, "a10", true, 10), rec(3, 0, "a2", false, 5),
                rec(4, 0, "a1", false, 50), rec(5, 0, "A1", false, 50)});
    const auto asc = tree.list(0, false, 0);
    EXPECT_EQ(names(asc), QStringList({"a10", "b", "A1", "a1", "a2"})); // case ties: a fixed order
    EXPECT_EQ(names(tree.list(0, true, 1)), QStringList({"b", "a10"}));
    EXPECT_EQ(names(tree.list(0, false, 2)), QStringList({"a10", "b", "a2", "a1", "A1"}));
    EXPECT_EQ(names(tree.list(0, false, 3)).mid(0, 3), QStringList({"b", "a10", "A1"}));
    // The session's order and the rows' comparator agree.
    for (int mode = 0; mode < 2; ++mode) {
        const auto rows = tree.list(0, false, mode);
        for (int i = 1; i < rows.size(); ++i)
            EXPECT_LT(rows[i - 1]->compareBySortMode(*rows[i], mode), 0) << mode << " " << i;
    }
}

TEST(NodeTree, SearchKeysNeverMatchAcrossNamesAndDeepTreesAreSearched) {
    KZNodeTree tree;
    NodeList nodes{rec(1, 0, "xa"), rec(2, 0, "bx")};
    // A chain of 200,000 nested folders with a file at the bottom.
    const qint64 depth = 200'000;
    for (qint64 i = 0; i < depth; ++i)
        nodes << rec(10 + i, i == 0 ? 0 : 9 + i, QStringLiteral("d"), true);
    nodes << rec(5, 9 + depth, QStringLiteral("deep-target"));
    tree.reset(nodes);

    EXPECT_TRUE(tree.searchNids(0, QStringLiteral("a") + QChar(0) + QStringLiteral("b")).empty());
    EXPECT_TRUE(tree.searchNids(0, QString(QChar(0))).empty());
    EXPECT_EQ(tree.searchNids(0, "xa"), std::vector<qint64>{1});
    // Special characters are plain text.
    EXPECT_TRUE(tree.searchNids(0, "%").empty());
    EXPECT_TRUE(tree.searchNids(0, "*").empty());

    EXPECT_EQ(tree.searchNids(10, "target"), std::vector<qint64>{5});
    EXPECT_EQ(tree.searchNids(9 + depth, "target"), std::vector<qint64>{5});
    EXPECT_TRUE(tree.searchNids(1, "target").empty());
}

TEST(NodeTree, LargeSearchesSplitAcrossCoresFindTheSameHits) {
    // Enough names for the scan to be split into several runs; every run boundary and the buffer's
    // tail must neither lose nor double a hit.
    const QString alphabet = QStringLiteral("abcXYZ报告_.");
    QRandomGenerator rng(11);
    NodeList nodes;
    QHash<qint64, QString> all;
    for (qint64 nid = 1; nid <= 400'000; ++nid) {
        const QString name = randomName(rng, alphabet, 12);
        nodes << rec(nid, 0, name);
        all.insert(nid, name);
    }
    KZNodeTree tree;
    tree.reset(nodes);
    // Dead names in the middle of the buffer as well.
    NodeList changes;
    for (qint64 nid = 1000; nid < 300'000; nid += 997) {
        changes << rec(nid, 0, QStringLiteral("renamed报"));
        all[nid] = changes.last().name;
    }
    tree.apply(changes);
    expectSearchesMatch(tree, all, {"a", "报", "Zz", "报告a", "abcxyz", "renamed报"});
}

TEST(NodeTree, ChangedTreesListLikeAFreshlyBuiltOne) {
    // Random adds, renames, moves and removals in batches; after each, every folder lists exactly
    // as a tree built afresh from the same nodes, in every sort mode.
    QRandomGenerator rng(5);
    const QStringList stems{"a", "A", "b10", "b9", "B9", "报告", "照片", "x", "Zeta"};
    auto randomName = [&]() -> QString { // a QString: a string builder would outlive its parts
        return stems[rng.bounded(int(stems.size()))] + QString::number(rng.bounded(30));
    };
    QMap<qint64, NodeRecord> model;
    NodeList nodes;
    for (qint64 nid = 1; nid <= 400; ++nid) {
        const bool dir = nid <= 40;
        const qint64 pid = nid <= 10 ? 0 : 1 + rng.bounded(nid <= 40 ? 10 : 40);
        NodeRecord r = rec(nid, pid, randomName(), dir, qint32(rng.bounded(50)));
        model.insert(nid, r);
        nodes << r;
    }
    KZNodeTree tree;
    tree.reset(nodes);
    qint64 nextNid = 401;
    for (int batch = 0; batch < 30; ++batch) {
        NodeList changes;
        for (int i = 0; i < 20; ++i) {
            const QList<qint64> ids = model.keys();
            const qint64 nid = ids[rng.bounded(int(ids.size()))];
            NodeRecord r = model.value(nid);
            switch (rng.bounded(4)) {
            case 0: // a new file in some folder
                r = rec(nextNid++, r.isDir ? r.nid : r.pid, randomName(), false, qint32(rng.bounded(50)));
                break;
            case 1:
                r.name = randomName();
                r.mtime = qint32(rng.bounded(50));
                break;
            case 2: { // a move to a folder that is not below it
                const qint64 to = ids[rng.bounded(int(ids.size()))];
                if (!model.value(to).isDir || to == nid)
                    continue;
                bool below = false;
                for (qint64 p = to; p > 0 && !below; p = model.value(p).pid)
                    below = p == nid;
                if (below)
                    continue;
                r.pid = to;
                break;
            }
            default:
                r.status = 1;
                break;
            }
            changes << r;
            if (r.isDeleted()) {
                // The model drops the subtree as the tree does.
                QList<qint64> gone{r.nid};
                for (int k = 0; k < gone.size(); ++k)
                    for (const NodeRecord& m : std::as_const(model))
                        if (m.pid == gone[k])
                            gone << m.nid;
                for (qint64 g : gone)
                    model.remove(g);
            } else {
                model.insert(r.nid, r);
            }
        }
        tree.apply(changes);
        KZNodeTree fresh;
        fresh.reset(model.values());
        ASSERT_EQ(tree.count(), fresh.count()) << batch;
        QList<qint64> folders{0};
        for (const NodeRecord& m : std::as_const(model))
            if (m.isDir)
                folders << m.nid;
        for (qint64 folder : folders)
            for (int mode = 0; mode < 4; ++mode) {
                QList<qint64> got, want;
                for (const auto& f : tree.list(folder, false, mode))
                    got << f->nid();
                for (const auto& f : fresh.list(folder, false, mode))
                    want << f->nid();
                ASSERT_EQ(got, want) << "batch " << batch << " folder " << folder << " mode " << mode;
            }
    }
}

TEST(NodeTree, RecordsCarryEveryFieldAndPathsFindExactNames) {
    NodeRecord file = rec(7, 3, QStringLiteral("Report 2.PDF"), false, 1234);
    file.size = 5'000'000'000ULL;
    file.ctime = 99;
    file.category = 2;
    file.fileHash = QStringLiteral("0123456789abcdef0123456789abcdef01234567");
    file.isLink = true;
    file.isEditLock = true;
    file.version = 1LL << 40;
    NodeRecord odd = rec(9'000'000'000LL, 3, QStringLiteral("report 2.pdf")); // far beyond the other ids
    odd.fileHash = QStringLiteral("not-a-sha1");
    odd.isSync = true;
    KZNodeTree tree;
    tree.reset({rec(3, 0, QStringLiteral("文件夹"), true), file, odd});

    const auto f = tree.fileInfo(7);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->name(), "Report 2.PDF");
    EXPECT_EQ(f->path(), "/文件夹/Report 2.PDF");
    EXPECT_EQ(f->pid(), 3);
    EXPECT_EQ(f->m_size(), 5'000'000'000ULL);
    EXPECT_EQ(f->m_fmtime(), 1234);
    EXPECT_EQ(f->m_fctime(), 99);
    EXPECT_EQ(f->m_category(), 2);
    EXPECT_EQ(f->m_fileHash(), file.fileHash);
    EXPECT_TRUE(f->m_isLink() && f->m_isEditLock() && !f->m_isSync());
    EXPECT_EQ(f->m_version(), 1LL << 40);
    const auto o = tree.fileInfo(9'000'000'000LL);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->m_fileHash(), "not-a-sha1");
    EXPECT_TRUE(o->m_isSync());

    // Names equal but for case share a key; a path finds the exact one.
    EXPECT_EQ(tree.nidForPath("/文件夹/Report 2.PDF"), 7);
    EXPECT_EQ(tree.nidForPath("/文件夹/report 2.pdf"), 9'000'000'000LL);
    EXPECT_EQ(tree.nidForPath("/文件夹/REPORT 2.PDF"), -1);

    // An update that changes only the hash keeps the rest; a removal frees the far id.
    file.fileHash = QStringLiteral("ffffffffffffffffffffffffffffffffffffffff");
    tree.apply({file});
    EXPECT_EQ(tree.fileInfo(7)->m_fileHash(), file.fileHash);
    EXPECT_EQ(tree.fileInfo(7)->name(), "Report 2.PDF");
    odd.status = 1;
    tree.apply({odd});
    EXPECT_FALSE(tree.contains(9'000'000'000LL));
    EXPECT_EQ(tree.count(), 2);
}

TEST(NodeTree, ListedRecordsReadTheirTextOnceFromAnyThread) {
    NodeList nodes{rec(1, 0, QStringLiteral("Dir"), true)};
    for (qint64 nid = 2; nid < 20'002; ++nid) {
        NodeRecord r = rec(nid, 1, QStringLiteral("File %1.TXT").arg(nid));
        r.fileHash = QString(40, QLatin1Char('a' + nid % 6));
        nodes << r;
    }
    KZNodeTree tree;
    tree.reset(nodes);
    const auto rows = tree.list(1, false, 0);
    ASSERT_EQ(rows.size(), 20'000);
    // A copy made before any read, and a rename before any read, keep the listing's text.
    const auto copy = rows[5]->clone();
    const QString fifth = QStringLiteral("File %1.TXT").arg(rows[5]->nid());
    rows[6]->setName(QStringLiteral("renamed"));
    EXPECT_EQ(rows[6]->path(), QStringLiteral("/Dir/File %1.TXT").arg(rows[6]->nid()));
    EXPECT_EQ(rows[6]->name(), "renamed");

    std::vector<std::thread> readers;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            for (qsizetype i = 0; i < rows.size(); ++i) {
                if (i == 6)
                    continue;
                const auto& f = rows[i];
                const QString name = QStringLiteral("File %1.TXT").arg(f->nid());
                if (f->name() != name || f->path() != u"/Dir/" + name ||
                    f->m_fileHash() != QString(40, QLatin1Char('a' + f->nid() % 6)) ||
                    f->nameSortKey() != nubo::collation::sortKey(name))
                    ++wrong;
            }
        });
    for (auto& r : readers)
        r.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(copy->name(), fifth);
    EXPECT_EQ(copy->path(), u"/Dir/" + fifth);
}

TEST(NodeTree, BatchesOfRowsBuildTheTreeThatRecordsBuild) {
    NodeList nodes{rec(1, 0, QStringLiteral("Dir"), true), rec(2, 1, QStringLiteral("sub"), true)};
    for (qint64 nid = 3; nid < 300; ++nid) {
        NodeRecord r =
            rec(nid, nid % 3 ? 1 : 2, QStringLiteral("%1 文件 %2").arg(nid % 2 ? "A" : "a").arg(nid % 40),
                false, qint32(nid * 7));
        r.size = nid % 50 ? quint64(nid) : 6'000'000'000ULL;
        r.version = nid % 70 ? nid : -nid;
        r.category = nid % 90 ? int(nid % 5) : 1000;
        r.fileHash = nid % 4 ? QString(40, QLatin1Char('0' + nid % 10)) : QStringLiteral("odd %1").arg(nid);
        r.isLink = nid % 5 == 0;
        r.isSync = nid % 7 == 0;
        r.isEditLock = nid % 11 == 0;
        nodes << r;
    }
    NodeRecord gone = rec(300, 1, QStringLiteral("gone"));
    gone.status = 1;
    nodes << gone;
    KZNodeTree fromRecords;
    fromRecords.reset(nodes);

    // Three batches as the node table hands out its rows; the last repeats an id, which loses.
    std::vector<KZNodeTree::Batch> batches(3);
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const NodeRecord& n = nodes[i];
        const QByteArray name = n.name.toUtf8(), hash = n.fileHash.toUtf8();
        nubo::NodeRowView row{n.nid,   n.pid,      name,     hash,     n.isDir,  n.size,       n.mtime,
                              n.ctime, n.category, n.status, n.isLink, n.isSync, n.isEditLock, n.version};
        batches[size_t(i * 3 / nodes.size())].add(row);
    }
    batches[2].add(rec(5, 1, QStringLiteral("second five")));
    KZNodeTree fromRows;
    fromRows.reset(std::move(batches));

    ASSERT_EQ(fromRows.count(), fromRecords.count());
    ASSERT_EQ(fromRows.count(), 299);
    for (const NodeRecord& n : nodes) {
        const auto a = fromRows.fileInfo(n.nid), b = fromRecords.fileInfo(n.nid);
        ASSERT_EQ(bool(a), bool(b)) << n.nid;
        if (!a)
            continue;
        EXPECT_EQ(a->name(), n.name);
        EXPECT_EQ(a->path(), b->path());
        EXPECT_EQ(a->pid(), n.pid);
        EXPECT_EQ(a->isDirectory(), n.isDir);
        EXPECT_EQ(a->m_fmtime(), n.mtime);
        EXPECT_EQ(a->m_isLink(), n.isLink);
        EXPECT_EQ(a->m_isSync(), n.isSync);
        EXPECT_EQ(a->m_isEditLock(), n.isEditLock);
        EXPECT_EQ(a->m_size(), n.size);
        EXPECT_EQ(a->m_version(), n.version);
        EXPECT_EQ(a->m_category(), n.category);
        EXPECT_EQ(a->m_fileHash(), n.fileHash);
    }
    for (int mode = 0; mode < 4; ++mode)
        EXPECT_EQ(names(fromRows.list(1, false, mode)), names(fromRecords.list(1, false, mode)));
}

TEST(NodeTree, WideValuesFollowUpdatesAndLeaveFreedSlots) {
    NodeRecord big = rec(2, 1, QStringLiteral("big.iso"));
    big.size = 5'000'000'000ULL;
    big.version = 1LL << 35;
    KZNodeTree tree;
    tree.reset({rec(1, 0, QStringLiteral("d"), true), big});
    big.size = 10;
    big.version = 3;
    tree.apply({big});
    EXPECT_EQ(tree.fileInfo(2)->m_size(), 10u);
    EXPECT_EQ(tree.fileInfo(2)->m_version(), 3);
    big.size = 7'000'000'000ULL;
    tree.apply({big});
    EXPECT_EQ(tree.fileInfo(2)->m_size(), 7'000'000'000ULL);
    // The next node takes the freed slot and none of its values.
    big.status = 1;
    NodeRecord small = rec(3, 1, QStringLiteral("small"));
    small.size = 4;
    small.version = 9;
    tree.apply({big, small});
    EXPECT_EQ(tree.fileInfo(3)->m_size(), 4u);
    EXPECT_EQ(tree.fileInfo(3)->m_version(), 9);
}

TEST(NodeTree, ChangesGrowTheTablesBySmallSteps) {
    NodeList nodes{rec(1, 0, QStringLiteral("Dir"), true)};
    for (qint64 nid = 2; nid < 50'000; ++nid)
        nodes << rec(nid, 1, QStringLiteral("file %1.txt").arg(nid));
    KZNodeTree tree;
    tree.reset(nodes);
    const qint64 before = tree.memoryBytes();
    NodeList changes;
    for (qint64 nid = 2; nid < 500; ++nid)
        changes << rec(nid, 1, QStringLiteral("a much longer name than before %1.txt").arg(nid));
    for (qint64 nid = 50'000; nid < 50'100; ++nid)
        changes << rec(nid, 1, QStringLiteral("new %1").arg(nid));
    tree.apply(changes);
    EXPECT_EQ(tree.count(), 50'099);
    // A few changes to a large tree must not double its buffers.
    EXPECT_LT(tree.memoryBytes(), before + before / 8);
}

// A record whose name key is not made yet (renamed, or never listed) makes it once, whichever of
// the threads reading it at once asks first; copies taken meanwhile read their own.
TEST(NodeTree, NameKeysOfRenamedRecordsAreMadeOnceFromAnyThread) {
    QList<CloudFileInfoPtr> rows;
    for (int i = 0; i < 2'000; ++i) {
        auto f = CloudFileInfo::create();
        f->setName(QStringLiteral("Name %1.txt").arg(i));
        rows << f;
    }
    std::vector<std::thread> readers;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            for (const auto& f : rows) {
                const auto copy = f->clone();
                if (f->nameSortKey() != nubo::collation::sortKey(f->name()) ||
                    copy->nameSortKey() != f->nameSortKey() || copy->compareByNameASC(*f) != 0)
                    ++wrong;
            }
        });
    for (auto& r : readers)
        r.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(NodeTree, SearchResultsKeepTheRowOrderThroughChanges) {
    // Renames, additions, moves, removals and folders turned files, in batches; after each, every
    // search holds exactly the matching nodes in the rows' order, in every sort mode. Enough
    // renames go by for the dead names to be dropped and for the names added since the last
    // sort to be sorted in again.
    QRandomGenerator rng(23);
    const QStringList stems{"a", "A", "b10", "b9", "B9", "报告", "照片", "x", "Zeta", "ab"};
    auto randomName = [&]() -> QString { // a QString: a string builder would outlive its parts
        return stems[rng.bounded(int(stems.size()))] + QString::number(rng.bounded(40));
    };
    QMap<qint64, NodeRecord> model;
    NodeList nodes;
    for (qint64 nid = 1; nid <= 1100; ++nid) {
        const qint64 pid = nid <= 10 ? 0 : 1 + rng.bounded(nid <= 100 ? 10 : 100);
        NodeRecord r = rec(nid, pid, randomName(), nid <= 100, qint32(rng.bounded(50)));
        model.insert(nid, r);
        nodes << r;
    }
    KZNodeTree tree;
    tree.reset(nodes);
    qint64 nextNid = 1101;
    auto check = [&](int batch) {
        for (const char* k : {"a", "b1", "报", "9", "zeta"}) {
            const QString key = QString::fromUtf8(k);
            for (qint64 scope : {qint64(0), qint64(3)}) {
                QList<qint64> expected;
                for (const NodeRecord& m : std::as_const(model)) {
                    bool under = scope == 0;
                    for (qint64 p = m.pid; p > 0 && !under; p = model.value(p).pid)
                        under = p == scope;
                    if (under && m.name.contains(key, Qt::CaseInsensitive))
                        expected << m.nid;
                }
                std::sort(expected.begin(), expected.end());
                for (int mode = 0; mode < 4; ++mode) {
                    const auto rows = tree.search(scope, key, mode);
                    QList<qint64> got;
                    for (const auto& f : rows)
                        got << f->nid();
                    std::sort(got.begin(), got.end());
                    ASSERT_EQ(got, expected) << "batch " << batch << " key " << k << " mode " << mode;
                    for (qsizetype i = 1; i < rows.size(); ++i) {
                        const int c = rows[i - 1]->compareBySortMode(*rows[i], mode);
                        // Names never tie; equal times fall to the node id, in the mode's direction.
                        const bool idsInOrder = mode == 2 ? rows[i - 1]->nid() < rows[i]->nid()
                                                          : rows[i - 1]->nid() > rows[i]->nid();
                        ASSERT_TRUE(c < 0 || (mode >= 2 && c == 0 && idsInOrder))
                            << "batch " << batch << " key " << k << " mode " << mode << " row " << i;
                    }
                }
            }
        }
    };
    check(-1);
    for (int batch = 0; batch < 16; ++batch) {
        NodeList changes;
        for (int i = 0; i < 320; ++i) {
            const QList<qint64> ids = model.keys();
            const qint64 nid = ids[rng.bounded(int(ids.size()))];
            NodeRecord r = model.value(nid);
            const int what = rng.bounded(20);
            if (what < 13) {
                r.name = randomName();
            } else if (what < 15) {
                r = rec(nextNid++, r.isDir ? r.nid : r.pid, randomName(), rng.bounded(4) == 0,
                        qint32(rng.bounded(50)));
            } else if (what < 17) {
                // A file turned folder or an empty folder turned file, its name kept.
                bool empty = true;
                for (const NodeRecord& m : std::as_const(model))
                    empty = empty && m.pid != nid;
                if (!empty)
                    continue;
                r.isDir = !r.isDir;
            } else if (what < 19) {
                const qint64 to = ids[rng.bounded(int(ids.size()))];
                bool below = !model.value(to).isDir;
                for (qint64 p = to; p > 0 && !below; p = model.value(p).pid)
                    below = p == nid;
                if (below)
                    continue;
                r.pid = to;
            } else {
                if (r.isDir)
                    continue; // keeps the model simple: files only leave
                r.status = 1;
            }
            changes << r;
            if (r.isDeleted())
                model.remove(r.nid);
            else
                model.insert(r.nid, r);
        }
        tree.apply(changes);
        check(batch);
    }
    // So many new names that they are sorted in with all the others.
    NodeList added;
    for (int i = 0; i < 4200; ++i) {
        added << rec(nextNid++, 1 + rng.bounded(10), randomName(), i % 7 == 0, qint32(rng.bounded(50)));
        model.insert(added.last().nid, added.last());
    }
    tree.apply(added);
    check(16);
}

TEST(NodeTree, SearchRowsAreReadFromTheTreeWhenFirstShown) {
    // Enough hits for several blocks of rows.
    NodeList nodes{rec(1, 0, QStringLiteral("Docs"), true), rec(2, 1, QStringLiteral("Inner"), true)};
    for (qint64 nid = 10; nid < 2010; ++nid) {
        NodeRecord r = rec(nid, nid % 2 ? 1 : 2, QStringLiteral("Hit %1.txt").arg(nid), false, qint32(nid));
        r.fileHash = QString(40, QLatin1Char('a' + nid % 6));
        r.size = quint64(nid) * 3;
        nodes << r;
    }
    KZNodeTree tree;
    tree.reset(nodes);
    const CloudFileList rows = tree.search(0, QStringLiteral("hit"), 2);
    ASSERT_EQ(rows.size(), 2000);
    // Read from four threads at once, in different orders: every row reads its node, and a row
    // asked for twice is one record.
    std::vector<std::thread> readers;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&, t] {
            for (qsizetype k = 0; k < rows.size(); ++k) {
                const qsizetype i = t % 2 ? rows.size() - 1 - k : k;
                const auto f = rows.at(i);
                const auto node = tree.fileInfo(f->nid());
                if (!node || f->name() != node->name() || f->path() != node->path() ||
                    f->m_fileHash() != node->m_fileHash() || f->m_size() != node->m_size() ||
                    f->pid() != node->pid() || f->m_fmtime() != qint32(10 + i) || rows.at(i) != f)
                    ++wrong;
            }
        });
    for (auto& r : readers)
        r.join();
    EXPECT_EQ(wrong.load(), 0);

    // Rows not read yet read the tree as it is then; a hit removed since, whose slot went to a new
    // node, reads as a bare row of its own id, never as the newcomer.
    const CloudFileList later = tree.search(0, QStringLiteral("hit"), 0); // "Hit 10.txt" first
    const qint64 renamed = 1510, removedNid = 1810;
    tree.apply({rec(renamed, 1, QStringLiteral("Hit renamed.txt")), removed(removedNid, 1, QString())});
    tree.apply({rec(5000, 1, QStringLiteral("newcomer"))});
    EXPECT_EQ(later.at(1500)->name(), QStringLiteral("Hit renamed.txt"));
    EXPECT_EQ(later.at(1800)->nid(), removedNid);
    EXPECT_TRUE(later.at(1800)->name().isEmpty());
    EXPECT_TRUE(later.at(1800)->path().isEmpty());
    EXPECT_EQ(later.at(0)->path(), QStringLiteral("/Docs/Inner/Hit 10.txt"));
}
