#pragma once

#include "transfer/TransferEngine.h"

namespace nubo::transfer {

// The download engine. A job fetches the blocks it has not written yet into a partial file in
// ".Download" beside its destination (each block's SHA-1 is recorded, and checked again when a
// job resumes over an earlier partial file), hashes the blocks in order as they arrive, checks the whole
// against the cloud file's SHA-1, and renames it into place. A frozen file waits in status 7.
class KZDownloadMgr : public TransferEngine {
public:
    static KZDownloadMgr& shared();

    // A job for one cloud file; `root` is the folder the user chose, `localPath` lies inside it.
    static TransferJobRecord makeJob(const ServiceNode& node, const QString& root, const QString& localPath,
                                     bool replace);

    // Blocks of one job fetched at the same time.
    static constexpr int kParallelBlocks = 8;
    // How far fetching may run ahead of the whole-file hash, in blocks held in memory.
    static constexpr int kHashWindow = 64;

protected:
    KZDownloadMgr() : TransferEngine(QStringLiteral("download")) {}
    ~KZDownloadMgr() override { stopWorkers(); }
    BWError work(const TransferJobRecord& rec, WorkerContext& ctx) override;
    void discard(const TransferJobRecord& rec) override;
    bool supportsThaw() const override { return true; }
    bool thawed(const TransferJobRecord& rec) override;
};

} // namespace nubo::transfer
