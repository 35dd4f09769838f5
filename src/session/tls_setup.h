#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>

#include "session/identity.h"

namespace tollix {

// TLS 1.3 only; this copy shows its own certificate, and asks for the peer's in both
// directions. No certificate authority is trusted: trust comes from the security code
// that the layer above pins.
QSslConfiguration SessionTlsConfiguration(const Identity& identity);

// The errors of a handshake that may be let go: that the peer's certificate signs itself,
// for that certificate only. Empty when any other error is among them, so that the
// handshake fails.
QList<QSslError> ErrorsToIgnore(const QList<QSslError>& errors, const QSslCertificate& peer);

}  // namespace tollix
