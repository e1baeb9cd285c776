#include "service/Sha1.h"

#include <openssl/evp.h>

namespace nubo {

namespace {

constexpr qint64 kStep = 4096;
constexpr qint64 kCacheLine = 64;

// Feeds `data` a page at a time, asking for the next page while this one is hashed: a large
// buffer written just before by another core or by the kernel is mostly out of this core's
// cache, and waiting for it line by line costs about as much as the hash itself.
template <class Update> void feedAhead(const char* data, qint64 size, const Update& update) {
    while (size > kStep) {
        for (qint64 k = 0; k < qMin(kStep, size - kStep); k += kCacheLine)
            __builtin_prefetch(data + kStep + k);
        update(data, kStep);
        data += kStep;
        size -= kStep;
    }
    if (size > 0)
        update(data, size);
}

} // namespace

struct Sha1::State {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(ctx); }
};

Sha1::Sha1() : m_state(std::make_unique<State>()) {
    EVP_DigestInit_ex(m_state->ctx, EVP_sha1(), nullptr);
}

Sha1::~Sha1() = default;

void Sha1::add(const char* data, qint64 size) {
    feedAhead(data, size,
              [ctx = m_state->ctx](const char* p, qint64 n) { EVP_DigestUpdate(ctx, p, size_t(n)); });
}

QByteArray Sha1::result() {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_DigestFinal_ex(m_state->ctx, md, &len);
    EVP_DigestInit_ex(m_state->ctx, EVP_sha1(), nullptr);
    return QByteArray(reinterpret_cast<const char*>(md), int(len));
}

QString Sha1::of(const QByteArray& data) {
    return QString::fromLatin1(raw(data.constData(), data.size()).toHex());
}

QByteArray Sha1::raw(const char* data, qint64 size) {
    Sha1 one;
    one.add(data, size);
    return one.result();
}

bool Sha1::isValidHex(const QString& s) {
    if (s.size() != 40)
        return false;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

} // namespace nubo
