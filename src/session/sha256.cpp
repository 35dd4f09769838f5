#include "session/sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace tollix {

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
    if (context_ == nullptr) {
        throw std::bad_alloc();
    }
    Reset();
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(context_);
}

void Sha256::Reset() {
    EVP_DigestInit_ex(context_, EVP_sha256(), nullptr);
}

void Sha256::Add(const char* data, qsizetype size) {
    EVP_DigestUpdate(context_, data, static_cast<std::size_t>(size));
}

QByteArray Sha256::Digest() const {
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int size = 0;
    if (copy == nullptr || EVP_MD_CTX_copy_ex(copy, context_) != 1 ||
        EVP_DigestFinal_ex(copy, reinterpret_cast<unsigned char*>(digest.data()), &size) != 1) {
        size = 0;
    }
    EVP_MD_CTX_free(copy);
    digest.resize(size);
    return digest;
}

}  // namespace tollix
