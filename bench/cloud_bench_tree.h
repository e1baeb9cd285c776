// A 1,000,000-node cloud tree for the cloud benchmarks, seeded into an embedded service in a
// temporary folder, and a session signed in to it (full fetch into the per-user database and the
// in-memory tree). Shared by list_100k and search_1m.
#pragma once

#include "bench_common.h"
#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "service/EmbeddedCloudService.h"
#include "session_bench.h"
#include "storage/DataPaths.h"
#include "storage/UserDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace cloudbench {

constexpr qint64 kTotal = 1000000;
constexpr int kBigFolder = 100000;
constexpr int kSmallFolder = 1000;

struct Tree {
    qint64 bigNid = 0;
    qint64 smallNid = 0;
    QString userDbPath; // the per-user database the session filled
};

inline QString nameFor(qint64 i) {
    static const char* words[] = {"report", "photo", "Budget",  "notes",   "IMG",     "project",
                                  "Draft",  "video", "scan",    "invoice", "Summary", "backup",
                                  "design", "plan",  "Meeting", "data"};
    static const char* zh[] = {"报告", "照片", "项目", "会议", "合同",
                               "文档", "总结", "计划", "视频", "设计"};
    static const char* ext[] = {".jpg", ".txt", ".pdf", ".docx", ".png", ".xlsx", ".mp4", ""};
    const quint64 h = quint64(i) * 2654435761u;
    QString name;
    if (h % 3 == 0)
        name = QString::fromUtf8(zh[(h >> 8) % 10]) + QString::number(i % 9973);
    else
        name = QLatin1String(words[(h >> 8) % 16]) + u'_' + QString::number(i);
    if (i % 50000 == 7)
        name += QStringLiteral("_xylophone"); // a rare key: 20 nodes
    return name + QLatin1String(ext[(h >> 16) % 8]);
}

// Seeds the service: /big (100,000 children), /small (1,000 children), and the rest under
// /archive in 1,000 folders.
inline BWError seed(nubo::EmbeddedCloudService& service, Tree& tree) {
    nubo::NodeList nodes;
    nodes.reserve(kTotal);
    qint64 nid = 1;
    auto add = [&](qint64 pid, const QString& name, bool dir) {
        nubo::NodeRecord r;
        r.nid = nid++;
        r.pid = pid;
        r.name = name;
        r.isDir = dir;
        r.size = dir ? 0 : quint64(r.nid * 37 % 10000000);
        r.mtime = qint32(1600000000 + (r.nid * 7919) % 100000000);
        r.category = name.endsWith(QLatin1String(".jpg")) || name.endsWith(QLatin1String(".png")) ? 1 : 0;
        nodes.append(r);
        return r.nid;
    };
    tree.bigNid = add(0, QStringLiteral("big"), true);
    tree.smallNid = add(0, QStringLiteral("small"), true);
    const qint64 archive = add(0, QStringLiteral("archive"), true);
    for (int i = 0; i < kBigFolder; ++i)
        add(tree.bigNid, nameFor(nid), i % 10 == 0);
    for (int i = 0; i < kSmallFolder; ++i)
        add(tree.smallNid, nameFor(nid), i % 10 == 0);
    std::vector<qint64> folders;
    for (int i = 0; i < 1000; ++i)
        folders.push_back(add(archive, QStringLiteral("folder %1").arg(i), true));
    for (qint64 i = 0; nid <= kTotal; ++i)
        add(folders[size_t(i % 1000)], nameFor(nid), false);
    return service.importNodes(nodes);
}

using sessionbench::spinUntil;

// Opens the service in `folder`, seeds it and signs the session in; prints the set-up times.
inline bool setUp(const QString& folder, Tree& tree) {
    QElapsedTimer t;
    t.start();
    auto opened = nubo::EmbeddedCloudService::open(folder + QStringLiteral("/service"));
    if (!opened.ok())
        return false;
    if (BWError e = seed(*opened.value, tree)) {
        std::printf("seed failed: %s\n", qPrintable(e.localizedDescription()));
        return false;
    }
    std::printf("seeded %lld nodes in %lld ms\n", kTotal, t.elapsed());
    nubo::CloudService::setShared(opened.value);
    nubo::paths::setDataFolder(folder + QStringLiteral("/data"));
    t.restart();
    if (!sessionbench::signIn())
        return false;
    auto account = opened.value->account();
    tree.userDbPath = folder + QStringLiteral("/data/") +
                      nubo::UserDatabase::fileName(account.value.userId, account.value.enterpriseId);
    std::printf("signed in (full fetch and tree of %d nodes) in %lld ms\n",
                KZSession::sharedSession().nodeTree().count(), t.elapsed());
    return true;
}

using benchcommon::median;

} // namespace cloudbench
