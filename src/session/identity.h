#pragma once

#include <QByteArray>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <optional>

namespace tollix {

// The name every session certificate carries as its subject and its one DNS name, so that a
// client can verify the server's certificate against it: the only error left is then that
// the certificate signs itself, which pinning by the security code replaces.
inline constexpr char kSessionPeerName[] = "tollix-session";

// This copy's identity: an ECDSA P-256 key and a self-signed certificate for it, as PEM.
// Plain bytes, so that it can be made on a worker thread and handed to the event loop.
struct Identity {
    QByteArray keyPem;
    QByteArray certificatePem;
    QString code;  // SecurityCode of the certificate

    QSslKey Key() const;
    QSslCertificate Certificate() const;
};

// A new key pair and its certificate (subject and DNS name kSessionPeerName, valid from a
// day ago, for clocks that run behind, to a hundred years ahead). Empty only when OpenSSL
// itself fails.
std::optional<Identity> MakeIdentity();

// Reads an identity file (key and certificate, PEM). Empty when either is missing or
// unreadable, when they do not belong together, or when the certificate does not carry
// kSessionPeerName.
std::optional<Identity> ParseIdentity(const QByteArray& pem);

// What people compare to know they talk to the same copy: the SHA-256 of the certificate's
// DER SubjectPublicKeyInfo, its first 160 bits as 40 upper-case hexadecimal digits in ten
// groups of four ("3F2A 9C01 ..."). Empty for bytes that are no DER certificate.
QString SecurityCode(const QByteArray& certificateDer);

}  // namespace tollix
