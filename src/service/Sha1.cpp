#include "service/Sha1.h"

#include <openssl/evp.h>

namespace nubo {

struct Sha1::State {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(ctx); }
};

Sha1::Sha1() : m_state(std::make_unique<State>()) {
    EVP_DigestInit_ex(m_state->ctx, EVP_sha1(), nullptr);
}

Sha1::~Sha1() = default;

void Sha1::add(const char* data, qint64 size) {
    if (size > 0)
        EVP_DigestUpdate(m_state->ctx, data, size_t(size));
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
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(data, size_t(qMax<qint64>(size, 0)), md, &len, EVP_sha1(), nullptr);
    return QByteArray(reinterpret_cast<const char*>(md), int(len));
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
