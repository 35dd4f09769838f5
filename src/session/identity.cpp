#include "session/identity.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace tollix {

namespace {

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* p) const {
        Free(p);
    }
};
using Bio = std::unique_ptr<BIO, Deleter<BIO_free_all>>;
using PKey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Deleter<X509_free>>;
using Number = std::unique_ptr<BIGNUM, Deleter<BN_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;

constexpr long kDaySeconds = 24L * 60 * 60;
constexpr long kValidDays = 100L * 365 + 25;

// Only a failure inside OpenSSL (out of memory, a broken installation) throws; the public
// functions turn it into an empty result.
void Require(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("making the identity failed at ") + what);
    }
}

QByteArray BioBytes(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, static_cast<qsizetype>(size));
}

QByteArray KeyPem(EVP_PKEY* key) {
    Bio bio(BIO_new(BIO_s_mem()));
    Require(
        bio && PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
        "writing the key");
    return BioBytes(bio.get());
}

QByteArray CertificatePem(X509* certificate) {
    Bio bio(BIO_new(BIO_s_mem()));
    Require(bio && PEM_write_bio_X509(bio.get(), certificate) == 1, "writing the certificate");
    return BioBytes(bio.get());
}

QByteArray CertificateDer(X509* certificate) {
    const int size = i2d_X509(certificate, nullptr);
    if (size <= 0) {
        return {};
    }
    QByteArray der(size, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_X509(certificate, &out);
    return der;
}

void AddExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    Require(extension && X509_add_ext(certificate, extension.get(), -1) == 1, "an extension");
}

Identity IdentityOf(EVP_PKEY* key, X509* certificate) {
    return {KeyPem(key), CertificatePem(certificate), SecurityCode(CertificateDer(certificate))};
}

Identity MakeIdentityOrThrow() {
    const PKey key(EVP_EC_gen("P-256"));
    Require(key != nullptr, "the key");
    const Cert certificate(X509_new());
    Require(certificate != nullptr, "the certificate");
    X509* const x = certificate.get();
    Require(X509_set_version(x, X509_VERSION_3) == 1, "the version");

    // A random positive serial number of 127 bits.
    unsigned char serial[16];
    Require(RAND_bytes(serial, sizeof serial) == 1, "the serial number");
    serial[0] &= 0x7f;
    const Number number(BN_bin2bn(serial, sizeof serial, nullptr));
    Require(number && BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(x)) != nullptr,
            "the serial number");

    Require(X509_gmtime_adj(X509_getm_notBefore(x), -kDaySeconds) != nullptr, "the validity");
    Require(X509_time_adj_ex(X509_getm_notAfter(x), kValidDays, 0, nullptr) != nullptr,
            "the validity");

    X509_NAME* name = X509_get_subject_name(x);
    Require(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                       reinterpret_cast<const unsigned char*>(kSessionPeerName), -1,
                                       -1, 0) == 1,
            "the name");
    Require(X509_set_issuer_name(x, name) == 1, "the issuer");
    Require(X509_set_pubkey(x, key.get()) == 1, "the public key");
    AddExtension(x, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(x, NID_subject_alt_name, (std::string("DNS:") + kSessionPeerName).c_str());
    AddExtension(x, NID_subject_key_identifier, "hash");
    Require(X509_sign(x, key.get(), EVP_sha256()) > 0, "the signature");
    return IdentityOf(key.get(), x);
}

}  // namespace

QSslKey Identity::Key() const {
    return QSslKey(keyPem, QSsl::Ec, QSsl::Pem, QSsl::PrivateKey);
}

QSslCertificate Identity::Certificate() const {
    return QSslCertificate(certificatePem, QSsl::Pem);
}

std::optional<Identity> MakeIdentity() {
    try {
        return MakeIdentityOrThrow();
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

std::optional<Identity> ParseIdentity(const QByteArray& pem) {
    Bio keyBio(BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size())));
    Bio certificateBio(BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size())));
    if (!keyBio || !certificateBio) {
        return std::nullopt;
    }
    const PKey key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
    const Cert certificate(PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    if (!key || !certificate || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_EC ||
        X509_check_private_key(certificate.get(), key.get()) != 1 ||
        X509_check_host(certificate.get(), kSessionPeerName, 0, 0, nullptr) != 1) {
        return std::nullopt;
    }
    try {
        return IdentityOf(key.get(), certificate.get());
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

QString SecurityCode(const QByteArray& certificateDer) {
    const auto* in = reinterpret_cast<const unsigned char*>(certificateDer.constData());
    const Cert certificate(d2i_X509(nullptr, &in, static_cast<long>(certificateDer.size())));
    if (!certificate) {
        return {};
    }
    unsigned char* spki = nullptr;
    const int size = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate.get()), &spki);
    if (size <= 0) {
        return {};
    }
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(spki, static_cast<std::size_t>(size), digest);
    OPENSSL_free(spki);

    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(digest), 20).toHex().toUpper();
    QString code;
    for (qsizetype at = 0; at < hex.size(); at += 4) {
        code += (at == 0 ? "" : " ") + QString::fromLatin1(hex.mid(at, 4));
    }
    return code;
}

}  // namespace tollix
