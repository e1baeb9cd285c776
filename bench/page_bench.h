// Shared set-up of the benchmarks that drive the file page: a temporary embedded service whose
// root holds one folder "big" with many children (folders every tenth), and the session signed
// in to it.
#pragma once

#include "cloud/KZSessionProxy.h"
#include "service/EmbeddedCloudService.h"
#include "storage/DataPaths.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <memory>

namespace pagebench {

// Sleeps between events as the program's own loop does: spinning would take a core from the
// threads being measured.
template <class F> void spinUntil(F done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

inline QString nameFor(qint64 i) {
    static const char* words[] = {"report", "photo", "Budget", "notes", "IMG", "project", "Draft", "video"};
    static const char* ext[] = {".jpg", ".txt", ".pdf", ".docx", ".png", ""};
    const quint64 h = quint64(i) * 2654435761u;
    return QLatin1String(words[(h >> 8) % 8]) + u'_' + QString::number(i) + QLatin1String(ext[(h >> 16) % 6]);
}

// The folder "big" has this node id; its children follow it.
constexpr qint64 kBigNid = 1;

// The service, or null (with a line saying why) when it could not be made or the session not
// signed in. `shape` may change each child's record before it is stored.
inline std::shared_ptr<nubo::EmbeddedCloudService>
signInWithBigFolder(const QTemporaryDir& dir, int children,
                    const std::function<void(nubo::NodeRecord&, int)>& shape = {}) {
    nubo::paths::setDataFolder(dir.path() + QStringLiteral("/data"));
    auto opened = nubo::EmbeddedCloudService::open(dir.path() + QStringLiteral("/service"));
    if (!opened.ok())
        return nullptr;
    nubo::NodeList nodes;
    nodes.reserve(children + 1);
    qint64 nid = kBigNid;
    const qint64 bigNid = nid;
    {
        nubo::NodeRecord big;
        big.nid = nid++;
        big.pid = 0;
        big.name = QStringLiteral("big");
        big.isDir = true;
        nodes.append(big);
    }
    for (int i = 0; i < children; ++i) {
        nubo::NodeRecord r;
        r.nid = nid++;
        r.pid = bigNid;
        r.isDir = i % 10 == 0;
        r.name = nameFor(r.nid);
        r.size = r.isDir ? 0 : quint64(r.nid * 37 % 10000000);
        r.mtime = qint32(1600000000 + (r.nid * 7919) % 100000000);
        if (shape)
            shape(r, i);
        nodes.append(r);
    }
    if (BWError e = opened.value->importNodes(nodes)) {
        std::printf("seed failed: %s\n", qPrintable(e.localizedDescription()));
        return nullptr;
    }
    nubo::CloudService::setShared(opened.value);
    bool signedIn = false;
    BWError error;
    KZSessionProxy::shareSessionProxy()->loginLocal([&](const BWError& e) {
        error = e;
        signedIn = true;
    });
    spinUntil([&] { return signedIn; });
    if (error) {
        std::printf("sign-in failed: %s\n", qPrintable(error.localizedDescription()));
        return nullptr;
    }
    return opened.value;
}

} // namespace pagebench
