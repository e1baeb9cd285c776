#include "transfer/BlockHasher.h"

#include "transfer/TransferErrors.h"

#include <QFile>
#include <future>
#include <openssl/evp.h>

namespace nubo::transfer {

Sha1::Sha1() : m_ctx(EVP_MD_CTX_new()) {
    EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(m_ctx), EVP_sha1(), nullptr);
}

Sha1::~Sha1() {
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(m_ctx));
}

void Sha1::add(const char* data, qint64 len) {
    if (len > 0)
        EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(m_ctx), data, size_t(len));
}

QByteArray Sha1::result() {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(m_ctx), md, &n);
    return QByteArray(reinterpret_cast<const char*>(md), int(n));
}

QByteArray Sha1::of(const char* data, qint64 len) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(data, size_t(len), md, &n, EVP_sha1(), nullptr);
    return QByteArray(reinterpret_cast<const char*>(md), int(n));
}

namespace {

// Blocks hashed per read: big enough to keep the helper threads busy, small enough for memory.
constexpr qint64 kChunkBlocks = 32;
constexpr int kHelpers = 2;

void hashBlocks(const char* data, qint64 len, QByteArray* out, int count) {
    for (int i = 0; i < count; ++i) {
        const qint64 off = i * kBlockSize;
        out[i] = Sha1::of(data + off, qMin(kBlockSize, len - off));
    }
}

} // namespace

BWError hashFile(const QString& path, FileDigest& out, const std::atomic<bool>* cancel) {
    out = FileDigest();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return transferError(kErrLocalRead, path);
    const qint64 size = file.size();
    const int blocks = blockCountForSize(size);
    out.size = size;
    out.blockSha1s.resize(blocks);

    QByteArray buffer(int(kChunkBlocks * kBlockSize), Qt::Uninitialized);
    Sha1 whole;
    qint64 done = 0;
    int block = 0;
    while (done < size) {
        if (cancel && cancel->load())
            return transferError(kErrCancelled, path);
        const qint64 want = qMin<qint64>(buffer.size(), size - done);
        qint64 got = 0;
        while (got < want) {
            const qint64 n = file.read(buffer.data() + got, want - got);
            if (n <= 0)
                return transferError(kErrLocalRead, path);
            got += n;
        }
        const int chunkBlocks = blockCountForSize(got);
        // Split the chunk's blocks among the helpers while this thread hashes the whole file.
        std::future<void> helpers[kHelpers];
        const int per = (chunkBlocks + kHelpers - 1) / kHelpers;
        for (int h = 0; h < kHelpers; ++h) {
            const int first = h * per;
            const int count = qMin(per, chunkBlocks - first);
            if (count <= 0)
                continue;
            const char* data = buffer.constData() + first * kBlockSize;
            const qint64 len = got - first * kBlockSize;
            QByteArray* dest = out.blockSha1s.data() + block + first;
            helpers[h] = std::async(std::launch::async, hashBlocks, data, len, dest, count);
        }
        whole.add(buffer.constData(), got);
        for (auto& f : helpers)
            if (f.valid())
                f.get();
        done += got;
        block += chunkBlocks;
    }
    if (file.size() != size)
        return transferError(kErrLocalChanged, path);
    out.fileSha1 = whole.result();
    return {};
}

} // namespace nubo::transfer
