#include "cloud/CloudFileInfo.h"
#include "cloud/NameCollation.h"
#include "cloud/ShareInfo.h"
#include "cloud/User.h"
#include "support/CloudPrinters.h"

#include <QDataStream>
#include <QIODevice>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>

namespace {

CloudFileInfoPtr node(qint64 nid, const QString& name, bool dir, qint32 mtime = 0) {
    auto f = CloudFileInfo::create();
    f->setNid(nid);
    f->setName(name);
    f->setPath(u'/' + name);
    f->setIsDirectory(dir);
    f->setM_fmtime(mtime);
    return f;
}

QStringList sortedNames(QList<CloudFileInfoPtr> files, int mode) {
    std::sort(files.begin(), files.end(), [mode](const CloudFileInfoPtr& a, const CloudFileInfoPtr& b) {
        return a->compareBySortMode(*b, mode) < 0;
    });
    QStringList names;
    for (const auto& f : files)
        names << f->name();
    return names;
}

} // namespace

TEST(CloudFileInfo, RootAndDerivedFlags) {
    auto root = CloudFileInfo::rootFile();
    EXPECT_EQ(root->nid(), 0);
    EXPECT_EQ(root->pid(), -1);
    EXPECT_EQ(root->path(), "/");
    EXPECT_TRUE(root->isDirectory() && root->isRootFile() && !root->isSearch());
    EXPECT_EQ(root->fixedPath(), "/");

    auto dir = node(5, "docs", true);
    EXPECT_EQ(dir->fixedPath(), "/docs/");
    EXPECT_TRUE(dir->canPreview());
    auto file = node(6, "a.txt", false);
    EXPECT_EQ(file->fixedPath(), "/a.txt");
    EXPECT_FALSE(file->canPreview());
    file->setM_category(1);
    EXPECT_TRUE(file->isImage() && file->canPreview());
    file->setM_status(2);
    EXPECT_TRUE(file->isDeleted());
    file->setSearchNid(0);
    EXPECT_TRUE(file->isSearch());
}

TEST(CloudFileInfo, NamesSortNaturallyWithFoldersFirst) {
    // The process runs in the C locale here; digits must still compare by value.
    const QList<CloudFileInfoPtr> files{node(1, "b", true), node(2, "a10", true), node(3, "a2", false),
                                        node(4, "a1", false)};
    EXPECT_EQ(sortedNames(files, 0), QStringList({"a10", "b", "a1", "a2"}));
    EXPECT_EQ(sortedNames(files, 1), QStringList({"b", "a10", "a2", "a1"}));

    const QList<CloudFileInfoPtr> numbered{node(1, "file10", false), node(2, "File9", false),
                                           node(3, "file100", false), node(4, "file1", false)};
    EXPECT_EQ(sortedNames(numbered, 0), QStringList({"file1", "File9", "file10", "file100"}));
}

TEST(CloudFileInfo, NameOrderIsTotalAndFollowsRenames) {
    auto upper = node(1, "Report", false);
    auto lower = node(2, "report", false);
    // Equal ignoring case, yet never "the same": the order is fixed and antisymmetric.
    const int c = upper->compareByNameASC(*lower);
    EXPECT_NE(c, 0);
    EXPECT_EQ(lower->compareByNameASC(*upper), -c);
    auto twin = node(3, "report", false);
    EXPECT_LT(lower->compareByNameASC(*twin), 0); // same name: the node id decides

    auto x = node(4, "zeta", false);
    EXPECT_GT(x->compareByNameASC(*upper), 0);
    x->setName("alpha"); // the cached key must follow the new name
    EXPECT_LT(x->compareByNameASC(*upper), 0);
}

TEST(CloudFileInfo, ExtremeIdsAndTimesCompareOneWay) {
    constexpr qint64 kLow = std::numeric_limits<qint64>::min();
    constexpr qint64 kHigh = std::numeric_limits<qint64>::max();
    auto low = node(kLow, "same", false, std::numeric_limits<qint32>::min());
    auto high = node(kHigh, "same", false, std::numeric_limits<qint32>::max());
    EXPECT_LT(low->compareByNameASC(*high), 0);
    EXPECT_GT(high->compareByNameASC(*low), 0);
    EXPECT_LT(low->compareByModifyTimeASC(*high), 0);
    EXPECT_GT(high->compareByModifyTimeASC(*low), 0);
    auto minusOne = node(-1, "same", false);
    EXPECT_LT(minusOne->compareByNameASC(*high), 0);
    EXPECT_GT(minusOne->compareByNameASC(*low), 0);
}

TEST(CloudFileInfo, TimesCompareAloneAfterFolders) {
    auto older = node(1, "b", false, 100);
    auto newer = node(2, "a", false, 200);
    auto folder = node(3, "z", true, 50);
    EXPECT_LT(older->compareByModifyTimeASC(*newer), 0);
    EXPECT_GT(older->compareByModifyTimeDESC(*newer), 0);
    EXPECT_EQ(older->compareByModifyTimeASC(*node(9, "c", false, 100)), 0);
    EXPECT_LT(folder->compareByModifyTimeDESC(*newer), 0);
    EXPECT_LT(folder->compareByModifyTimeASC(*older), 0);
    EXPECT_EQ(sortedNames({older, newer, folder}, 3), QStringList({"z", "a", "b"}));
}

TEST(CloudFileInfo, CodingSurvivesRoundTripAndRefusesDamage) {
    auto f = node(42, "照片 2024.png", false, 1700000000);
    f->setPid(7);
    f->setPath("/相册/照片 2024.png");
    f->setM_size(1ULL << 40);
    f->setM_category(1);
    f->setM_isLink(true);
    f->setM_isEditLock(true);
    f->setM_fileHash("0123456789abcdef0123456789abcdef01234567");
    f->setSearchKey("照");
    f->setSearchNid(0);

    bool ok = false;
    const auto list =
        CloudFileInfo::decodeList(CloudFileInfo::encodeList({f, nullptr, CloudFileInfo::rootFile()}), &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(list.size(), 2);
    const auto& g = list[0];
    EXPECT_NE(g.get(), f.get());
    EXPECT_EQ(g->nid(), 42);
    EXPECT_EQ(g->pid(), 7);
    EXPECT_EQ(g->name(), f->name());
    EXPECT_EQ(g->path(), f->path());
    EXPECT_EQ(g->m_size(), f->m_size());
    EXPECT_EQ(g->m_fmtime(), f->m_fmtime());
    EXPECT_TRUE(g->isImage() && g->m_isLink() && g->m_isEditLock() && !g->m_isSync());
    EXPECT_EQ(g->m_fileHash(), f->m_fileHash());
    EXPECT_EQ(g->searchKey(), "照");
    EXPECT_EQ(g->searchNid(), 0);
    EXPECT_TRUE(list[1]->isRootFile());

    // Foreign or cut bytes are refused as a whole, never half read.
    QByteArray data = CloudFileInfo::encodeList({f, f});
    EXPECT_TRUE(CloudFileInfo::decodeList(data.left(data.size() - 3), &ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(CloudFileInfo::decodeList(QByteArray("not a node list at all"), &ok).isEmpty());
    EXPECT_FALSE(ok);
    QByteArray huge;
    QDataStream(&huge, QIODevice::WriteOnly) << quint32(0xFFFFFFFF);
    EXPECT_TRUE(CloudFileInfo::decodeList(huge, &ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_EQ(CloudFileInfo::decoded(f->encoded())->name(), f->name());
    EXPECT_EQ(CloudFileInfo::decoded(f->encoded() + "x"), nullptr);
}

TEST(ShareInfo, ReadsEveryFieldAsTextWhateverItsType) {
    const QVariantMap dict{
        {"sid", 123},
        {"shorturl", "abc"},
        {"password", QVariant()},
        {"expire", 1700000000.0},
        {"description", "报告.pdf"},
        {"count_size", 2.5},
        {"count_download", true},
        {"link_type", QVariantMap{{"x", 1}}},
        {"status", QVariantList{1, 2}},
        {"name", "报告.pdf"},
        {"expire_day_count_arr",
         QVariantList{QVariantMap{{"id", 1}, {"desc", "1天"}, {"selected", "0"}},
                      QVariantMap{{"id", "7"}, {"desc", "7天"}, {"selected", 1}}, "garbage"}},
    };
    auto s = ShareInfo::initWithDict(dict);
    EXPECT_EQ(s->sid(), "123");
    EXPECT_EQ(s->shorturl(), "abc");
    EXPECT_EQ(s->password(), "");
    EXPECT_EQ(s->expire(), "1700000000");
    EXPECT_EQ(s->desc(), "报告.pdf");
    EXPECT_EQ(s->count_size(), "2.5");
    EXPECT_EQ(s->count_download(), "1");
    EXPECT_EQ(s->link_type(), "");
    EXPECT_EQ(s->status(), "");
    EXPECT_EQ(s->linkurl(), "");
    ASSERT_EQ(s->expireDays().size(), 3);
    EXPECT_EQ(s->expireDays()[0]->expireId(), "1");
    EXPECT_FALSE(s->expireDays()[0]->selected());
    EXPECT_EQ(s->expireDays()[1]->desc(), "7天");
    EXPECT_TRUE(s->expireDays()[1]->selected());
    EXPECT_EQ(s->expireDays()[2]->expireId(), ""); // a non-dictionary entry reads as empty

    auto none = ShareInfo::initWithDict({{"expire_day_count_arr", "not a list"}});
    EXPECT_TRUE(none->expireDays().isEmpty());
}

TEST(User, PlanRule) {
    EXPECT_FALSE(User::isNeedPay(QVariantMap{}));
    EXPECT_FALSE(User::isNeedPay(QVariantMap{{"is_vip", false}, {"expire_status", 2}}));
    EXPECT_FALSE(User::isNeedPay(QVariantMap{{"is_vip", true}, {"expire_status", 0}}));
    EXPECT_TRUE(User::isNeedPay(QVariantMap{{"is_vip", "1"}, {"expire_status", "1"}}));
    EXPECT_FALSE(User::isTotallyOverdue(QVariantMap{{"is_vip", true}, {"expire_status", 1}}));
    EXPECT_TRUE(User::isTotallyOverdue(QVariantMap{{"is_vip", true}, {"expire_status", 2}}));
    EXPECT_TRUE(User::isNeedPay(QVariantMap{{"is_vip", true}, {"expire_status", 2}}));
}

TEST(NameCollation, UsesARealLocaleAndFoldsForSearch) {
    EXPECT_FALSE(nubo::collation::localeName().isEmpty());
    EXPECT_NE(nubo::collation::localeName(), "C");
    EXPECT_LT(nubo::collation::sortKey("a2").compare(nubo::collation::sortKey("a10")), 0);
    EXPECT_EQ(nubo::collation::searchFold("ÄBc"), nubo::collation::searchFold("äbC"));
}
