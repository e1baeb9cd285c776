// Block marks of a running job are written a batch at a time from several lanes; none may be
// lost while the process lives, and a mark without a hash keeps the one recorded.
#include "storage/UserDatabase.h"
#include "transfer/TransferJobTable.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace nubo;
using namespace nubo::transfer;

TEST(BlockMarks, EveryMarkFromEveryLaneIsRecordedByTheEnd) {
    QTemporaryDir dir;
    auto db = UserDatabase::openConnection(dir.filePath(QStringLiteral("user.db")));
    ASSERT_TRUE(db.ok());
    TransferJobTable table(*db.value, QStringLiteral("upload"));
    ASSERT_FALSE(table.create());
    TransferJobRecord job;
    job.path = QStringLiteral("/a");
    job.source = QStringLiteral("/local/a");
    ASSERT_FALSE(table.save(job));
    constexpr int kBlocks = 3 * BlockMarks::kBatch + 5; // not a whole number of batches
    QStringList declared;
    for (int i = 0; i < kBlocks; ++i)
        declared << QStringLiteral("%1").arg(i, 40, 10, QLatin1Char('0'));
    ASSERT_FALSE(table.setBlocks(job.id, declared));
    {
        BlockMarks marks(table, job.id);
        std::vector<std::thread> lanes;
        for (int t = 0; t < 4; ++t)
            lanes.emplace_back([&, t] {
                for (int i = t; i < kBlocks; i += 4)
                    // Even blocks come with a hash of their own (as downloads do), odd ones keep theirs.
                    EXPECT_FALSE(marks.add(i, i % 2 ? QString() : QStringLiteral("%1").arg(i, 40, 16)));
            });
        for (auto& l : lanes)
            l.join();
        auto before = table.doneBlocks(job.id);
        ASSERT_TRUE(before.ok());
        EXPECT_GE(before.value.size(), kBlocks - (BlockMarks::kBatch - 1)); // full batches are written
    }
    auto done = table.doneBlocks(job.id);
    ASSERT_TRUE(done.ok());
    ASSERT_EQ(done.value.size(), kBlocks);
    for (int i = 0; i < kBlocks; ++i)
        EXPECT_EQ(done.value.value(i), i % 2 ? declared[i] : QStringLiteral("%1").arg(i, 40, 16)) << i;
}
