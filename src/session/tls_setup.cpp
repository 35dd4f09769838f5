#include "session/tls_setup.h"

namespace tollix {

QSslConfiguration SessionTlsConfiguration(const Identity& identity) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_3);
    configuration.setLocalCertificate(identity.Certificate());
    configuration.setPrivateKey(identity.Key());
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // No authority is trusted, and none is loaded from the system on demand.
    configuration.setCaCertificates({});
    // Each session is a full handshake with both certificates: nothing is resumed.
    configuration.setSslOption(QSsl::SslOptionDisableSessionTickets, true);
    configuration.setSslOption(QSsl::SslOptionDisableSessionSharing, true);
    return configuration;
}

QList<QSslError> ErrorsToIgnore(const QList<QSslError>& errors, const QSslCertificate& peer) {
    const QSslError selfSigned(QSslError::SelfSignedCertificate, peer);
    for (const QSslError& error : errors) {
        if (peer.isNull() || !(error == selfSigned)) {
            return {};
        }
    }
    return {selfSigned};
}

}  // namespace tollix
