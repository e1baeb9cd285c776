#pragma once

#include "transfer/TransferEngine.h"

namespace nubo::transfer {

// The upload engine. A job's steps: split the local file into blocks and hash them (kept in the
// block table, so a restart does not hash again unless the file changed), find the destination
// folder, ask for the upload (the service tells which blocks it already holds), send the missing
// blocks, commit, and have the session pick up the new file.
class KZUploadMgr : public TransferEngine {
public:
    // Reset with SingletonT<KZUploadMgr>::reset() (see TransferEngine).
    static KZUploadMgr& shared();
    ~KZUploadMgr() override { stopWorkers(); }

    // A job for one local file; `cloudPath` is the full path of the file to make.
    static TransferJobRecord makeJob(const QString& diskPath, const QString& cloudPath, qint64 size,
                                     bool replace);

    // Blocks of one job sent at the same time.
    static constexpr int kParallelBlocks = 8;

protected:
    friend class nubo::SingletonT<KZUploadMgr>;
    KZUploadMgr() : TransferEngine(QStringLiteral("upload")) {}
    BWError work(const TransferJobRecord& rec, WorkerContext& ctx) override;
    void discard(const TransferJobRecord& rec) override;
    void jobFinished(const TransferJobRecord& rec) override;
};

} // namespace nubo::transfer
