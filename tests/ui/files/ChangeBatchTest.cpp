#include "cloud/KZNodeTree.h"
#include "support/CloudPrinters.h"
#include "ui/files/KZChangeBatch.h"
#include "ui/files/KZLocalFileInfo.h"

#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

CloudFileInfoPtr node(qint64 nid, const QString& name, bool dir, qint32 mtime, bool deleted = false) {
    auto f = CloudFileInfo::create();
    f->setNid(nid);
    f->setName(name);
    f->setIsDirectory(dir);
    f->setM_fmtime(mtime);
    f->setM_status(deleted ? 1 : 0);
    return f;
}

// Names whose keys share long beginnings (past the compared prefix), tie on case and digits
// ("A" and "a", "01" and "1"), or are equal, with repeated times.
QList<CloudFileInfoPtr> collidingChanges(int count) {
    static const char* stems[] = {"a", "A", "b", "a01", "a1", "报告", "Ä"};
    const QString longStem =
        QStringLiteral("a rather long shared beginning of a name, longer than any prefix ");
    QList<CloudFileInfoPtr> out;
    QRandomGenerator rng(7);
    for (int i = 0; i < count; ++i) {
        QString name = QString::fromUtf8(stems[rng.bounded(7)]) + QString::number(rng.bounded(4));
        if (i % 3 == 0)
            name = longStem + name;
        out.append(node(100 + i, name, rng.bounded(4) == 0, qint32(rng.bounded(5)), rng.bounded(6) == 0));
    }
    return out;
}

} // namespace

TEST(ChangeBatch, AdditionsSortLikeTheRecordsInEveryMode) {
    const QList<CloudFileInfoPtr> changes = collidingChanges(600);
    for (int mode : {0, 1, 2, 3}) {
        const KZChangeBatch batch(changes, mode);
        ASSERT_EQ(batch.size(), changes.size());
        std::vector<qsizetype> kept;
        for (qsizetype i = 0; i < batch.size(); ++i)
            if (!batch.isDeleted(i))
                kept.push_back(i);
        std::vector<qsizetype> expected = kept;
        std::stable_sort(expected.begin(), expected.end(), [&](qsizetype a, qsizetype b) {
            return changes.at(a)->compareBySortMode(*changes.at(b), mode) < 0;
        });
        EXPECT_EQ(batch.sorted(kept), expected) << "mode " << mode;
        EXPECT_EQ(batch.additions(), expected) << "mode " << mode;
    }
}

TEST(ChangeBatch, TakesADigestOnlyOfItsOwnSortMode) {
    // A node listed twice is one node: both changes see the same row.
    QList<CloudFileInfoPtr> changes = collidingChanges(50);
    changes.append(node(100 + 3, QStringLiteral("again"), false, 9));
    changes.insert(10, nullptr);
    for (int digested : {0, 2}) {
        auto digest = std::make_shared<const nubo::ChangeDigest>(changes, digested);
        const KZChangeBatch batch(changes, 0, digest);
        EXPECT_EQ(batch.wasDigested(), digested == 0);
        ASSERT_EQ(batch.size(), changes.size() - 1);
        std::vector<qsizetype> expected;
        for (qsizetype i = 0; i < batch.size(); ++i) {
            // The records are those of the list handed in, in its order.
            EXPECT_EQ(batch.record(i).get(), changes.at(i < 10 ? i : i + 1).get());
            if (!batch.isDeleted(i))
                expected.push_back(i);
        }
        std::stable_sort(expected.begin(), expected.end(), [&](qsizetype a, qsizetype b) {
            return batch.record(a)->compareBySortMode(*batch.record(b), 0) < 0;
        });
        EXPECT_EQ(batch.additions(), expected) << "digested in mode " << digested;
        EXPECT_EQ(digest->find(103), digest->at(3).node);
        EXPECT_EQ(digest->at(batch.size() - 1).node, digest->at(3).node);
        EXPECT_EQ(digest->nodeCount(), quint32(batch.size() - 1));
        EXPECT_EQ(digest->find(99), -1);
    }
}

TEST(ChangeBatch, FindsTheRowsOfChangedNodesWithTheirKindAndSelection) {
    // A listing big enough to be scanned in several parts, a placeholder and single records.
    nubo::KZNodeTree tree;
    nubo::NodeList nodes;
    nubo::NodeRecord dir;
    dir.nid = 1;
    dir.pid = 0;
    dir.name = QStringLiteral("Dir");
    dir.isDir = true;
    nodes << dir;
    for (qint64 nid = 2; nid < 40002; ++nid) {
        nubo::NodeRecord r;
        r.nid = nid;
        r.pid = 1;
        r.name = QStringLiteral("f%1").arg(nid);
        r.isDir = nid % 5 == 0;
        nodes << r;
    }
    tree.reset(nodes);
    CloudFileList rows = tree.list(1, false, 0);
    rows.prepend(KZLocalFileInfo::localFileInfoWithName(QStringLiteral("新建文件夹"), 1));
    const qsizetype single = rows.size();
    rows.append(node(90000, QStringLiteral("zz"), false, 0));

    // Changes: rows spread over the list (one selected, some folders; every other one removed,
    // the others renamed), the single record, an id not among the rows, and id 0, which the
    // placeholder carries but which is no row's node.
    QList<qint64> listed;
    for (qsizetype i = 1; i < rows.size(); i += 4099)
        listed.append(rows.nid(i));
    const qsizetype selectedRow = 1 + 4099 * 2;
    rows.at(selectedRow)->setSelected(true);
    ASSERT_TRUE(rows.isDirectory(1 + 4099)); // a removed folder
    QList<CloudFileInfoPtr> changes;
    for (qsizetype c = 0; c < listed.size(); ++c)
        changes.append(node(listed.at(c), QStringLiteral("x"), false, 0, c % 2 == 1));
    changes.append(node(90000, QStringLiteral("zz"), false, 0, true));
    changes.append(node(123456, QStringLiteral("new"), true, 0));
    changes.append(node(0, QStringLiteral("root?"), true, 0));

    KZChangeBatch batch(changes, 0);
    batch.findRows(rows);
    for (qsizetype c = 0; c < listed.size(); ++c) {
        const qsizetype row = 1 + 4099 * c;
        const KZChangeBatch::Row& found = batch.rowOf(c);
        EXPECT_EQ(found.row, row) << c;
        // The kind of the row is what a removal needs (the removal's own record says "file").
        if (c % 2 == 1) {
            EXPECT_EQ(found.dir, rows.isDirectory(row)) << c;
        }
        EXPECT_EQ(found.selected, row == selectedRow) << c;
    }
    EXPECT_EQ(batch.rowOf(listed.size()).row, single);
    EXPECT_EQ(batch.rowOf(listed.size() + 1).row, -1);
    EXPECT_EQ(batch.rowOf(listed.size() + 2).row, -1);
    // Finding rows made no record of an unselected listed row.
    EXPECT_EQ(rows.made(1 + 4099), nullptr);
}
