// Shared set-up of the benchmarks that drive the file page: a temporary embedded service whose
// root holds one folder "big" with many children (folders every tenth), the session signed in
// to it, and the page in an offscreen window.
#pragma once

#include "foundation/SingletonT.h"
#include "kit/Window.h"
#include "service/EmbeddedCloudService.h"
#include "session_bench.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "ui/files/KZFilesViewController.h"

#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <memory>

namespace pagebench {

using sessionbench::spinUntil;

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
    return sessionbench::signIn() ? opened.value : nullptr;
}

// When the page takes the window's content bounds: the bounds change as the window is first
// shown, and each benchmark keeps measuring the page at the size it always had.
enum class FrameAt { BeforeShow, AfterShow };

// The file page on the root, in a window of 1200x800 shown offscreen, in list or grid style
// (a KZFileListStyle) sorted by name.
struct PageWindow {
    PageWindow(int style, FrameAt frameAt) {
        auto& config = nubo::SingletonT<nubo::SystemConfig>::instance();
        config.setFilelistViewMode(style);
        config.setCloudFileSort(0);
        page = new KZFilesViewController(CloudFileInfo::rootFile());
        window.setContentSize(QSizeF(1200, 800));
        window.contentView()->addSubview(page->view());
        if (frameAt == FrameAt::BeforeShow)
            page->view()->setFrame(window.contentView()->bounds());
        window.show();
        if (frameAt == FrameAt::AfterShow) {
            QCoreApplication::processEvents();
            page->view()->setFrame(window.contentView()->bounds());
        }
    }
    ~PageWindow() { delete page; }
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    kit::Window window;
    KZFilesViewController* page = nullptr;
};

} // namespace pagebench
