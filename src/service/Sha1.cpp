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

QString Sha1::hex() {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_DigestFinal_ex(m_state->ctx, md, &len);
    EVP_DigestInit_ex(m_state->ctx, EVP_sha1(), nullptr);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(md), int(len)).toHex());
}

QString Sha1::of(const QByteArray& data) {
    Sha1 h;
    h.add(data);
    return h.hex();
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
