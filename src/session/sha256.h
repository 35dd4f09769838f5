#pragma once

#include <QByteArray>
#include <QtGlobal>

struct evp_md_ctx_st;

namespace tollix {

// A running SHA-256 (OpenSSL's, which uses the processor's SHA instructions where it has
// them): bytes are added as they come, and the digest of what has been added so far can be
// taken at any time.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Reset();
    void Add(const char* data, qsizetype size);
    // The 32-byte digest of everything added since the last Reset; adding may go on.
    QByteArray Digest() const;

private:
    evp_md_ctx_st* context_;
};

}  // namespace tollix
