// Shared set-up of the transfer benchmarks: a temporary embedded service with the transfer
// engines signed in, big-file helpers, timing of baseline commands, and the RATIO line.
#pragma once

#include "bench_common.h"
#include "foundation/Dispatch.h"
#include "service/EmbeddedCloudService.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"
#include "transport/TransferSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace bench {

using namespace nubo;
using namespace nubo::transfer;

inline constexpr qint64 kGiB = 1024LL * 1024 * 1024;

// Writes `size` pseudo-random bytes (not compressible, not all alike).
inline bool writeRandomFile(const QString& path, qint64 size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk(8 << 20, Qt::Uninitialized);
    quint64 x = 0x9E3779B97F4A7C15ULL;
    for (qint64 done = 0; done < size;) {
        auto* p = reinterpret_cast<quint64*>(chunk.data());
        for (qsizetype i = 0; i < chunk.size() / 8; ++i) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            p[i] = x;
        }
        const qint64 n = qMin<qint64>(chunk.size(), size - done);
        if (f.write(chunk.constData(), n) != n)
            return false;
        done += n;
    }
    return true;
}

// Seconds that a command takes (its output dropped); negative when it failed.
inline double timeCommand(const QString& program, const QStringList& args) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return -1;
    return double(t.nsecsElapsed()) / 1e9;
}

// Runs the event loop until `done`, sleeping between events as the program's own loop does (a
// timed processEvents() returns at once when idle, and spinning on it would take a core from the
// transfer being measured).
inline void waitUntil(const std::function<bool()>& done) {
    QTimer tick;
    tick.start(20);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

inline int finishedCount(TransferEngine& e) {
    return e.count(KZTransportJobStatusFinished) + e.count(KZTransportJobStatusError);
}

// A folder under the temporary folder for the benchmark's own files, removed at the end.
struct WorkDir {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/nubo-bench-XXXXXX")};
    QString path(const QString& name) const { return dir.path() + u'/' + name; }
};

// A fresh service in a temporary folder with the engines signed in to it; every run gets its
// own, so that no run finds the blocks of an earlier one.
struct Harness {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/nubo-bench-XXXXXX")};
    std::shared_ptr<EmbeddedCloudService> service;

    bool start() {
        auto opened = EmbeddedCloudService::open(dir.path() + QStringLiteral("/service"));
        if (!opened.ok())
            return false;
        service = opened.value;
        createTransferProxies();
        return !signInTransfers(service, dir.path() + QStringLiteral("/user.db"));
    }
    ~Harness() { signOutTransfers(); }
};

} // namespace bench
