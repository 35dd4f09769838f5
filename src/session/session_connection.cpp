#include "session/session_connection.h"

#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <mutex>

#include "session/identity.h"
#include "session/tls_setup.h"

namespace tollix {

namespace {

QString Dotted(const QHostAddress& address) {
    return QHostAddress(address.toIPv4Address()).toString();
}

QString Seconds(int ms) {
    return QString::number(ms / 1000.0) + " s";
}

// A session that carries a file makes the socket's buffers (Qt's and the TLS layer's)
// allocate and free blocks of a few hundred KiB thousands of times a second. With glibc's
// adaptive defaults many of those frees give the memory back to the system (the heap's top
// trimmed, or a block unmapped), and each time the kernel flushes the TLB of every processor
// the program runs on, which cost a sender most of its time. Blocks under 1 MiB are taken
// from the heap, and up to 4 MiB of free heap is kept for them: the blocks are reused, and
// memory stays flat all the same.
void KeepBufferBlocks() {
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 4 * 1024 * 1024);
    });
#endif
}

}  // namespace

QString OpenFailureText(OpenFailure failure) {
    switch (failure) {
        case OpenFailure::Refused:
            return "refused";
        case OpenFailure::NoAnswer:
            return "no answer";
        case OpenFailure::NotASessionPeer:
            return "not a private-session peer";
    }
    return {};
}

SessionConnection::SessionConnection(bool outgoing, const SessionSetup& setup, QObject* parent)
    : QObject(parent),
      setup_(setup),
      outgoing_(outgoing),
      socket_(new QSslSocket(this)),
      lastActivity_(SessionClockMs()),
      reader_(setup.limits.maxFramePayload) {
    KeepBufferBlocks();
    socket_->setSslConfiguration(setup.tls);
    // What the socket decrypts ahead of the reader: bounded, so that each turn of the event
    // loop moves a bounded amount (the kernel keeps the rest, and TCP holds the peer back)
    // and the socket's buffers are reused rather than grown to megabytes and given back.
    socket_->setReadBufferSize(kReadAheadBytes);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SessionConnection::OnTimer);
    connect(socket_, &QSslSocket::connected, this, [this] {
        tcpConnected_ = true;
        Tune();
    });
    connect(socket_, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        const QList<QSslError> ignored = ErrorsToIgnore(errors, socket_->peerCertificate());
        if (!ignored.isEmpty()) {
            socket_->ignoreSslErrors(ignored);
            return;
        }
        QStringList texts;
        for (const QSslError& error : errors) {
            texts << error.errorString();
        }
        tlsErrors_ = texts.join("; ");
    });
    connect(socket_, &QSslSocket::encrypted, this, &SessionConnection::OnEncrypted);
    connect(socket_, &QSslSocket::readyRead, this, &SessionConnection::OnReadyRead);
    connect(socket_, &QSslSocket::encryptedBytesWritten, this, &SessionConnection::OnWritten);
    connect(socket_, &QSslSocket::errorOccurred, this, &SessionConnection::OnSocketError);
    connect(socket_, &QSslSocket::disconnected, this, [this] {
        if (state_ == State::Ended) {
            deleteLater();
        } else {
            OnSocketError();
        }
    });
}

SessionConnection::SessionConnection(const QHostAddress& peer, const SessionSetup& setup,
                                     QObject* parent)
    : SessionConnection(true, setup, parent) {
    address_ = Dotted(peer);
    timer_.start(setup.limits.openTimeoutMs);
    if (!setup.source.isNull()) {
        socket_->bind(setup.source);
    }
    socket_->connectToHostEncrypted(address_, setup.limits.port, kSessionPeerName,
                                    QIODevice::ReadWrite, QAbstractSocket::IPv4Protocol);
}

SessionConnection::SessionConnection(qintptr descriptor, const SessionSetup& setup, QObject* parent)
    : SessionConnection(false, setup, parent) {
    timer_.start(setup.limits.handshakeTimeoutMs);
    if (!socket_->setSocketDescriptor(descriptor)) {
        // Reported through errorOccurred, at the next turn of the event loop.
        return;
    }
    tcpConnected_ = true;
    address_ = Dotted(socket_->peerAddress());
    Tune();
    socket_->startServerEncryption();
}

// Texts go out at once rather than waiting for the acknowledgement of what went before,
// and the kernel keeps at most the bulk threshold unsent, so that a control frame written
// behind bulk data is not held up by a deep send buffer.
void SessionConnection::Tune() {
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const int lowWater = static_cast<int>(setup_.limits.bulkThreshold);
    ::setsockopt(static_cast<int>(socket_->socketDescriptor()), IPPROTO_TCP, TCP_NOTSENT_LOWAT,
                 &lowWater, sizeof lowWater);
}

void SessionConnection::OnEncrypted() {
    if (state_ != State::Opening) {
        return;
    }
    peerCode_ = SecurityCode(socket_->peerCertificate().toDer());
    if (socket_->sessionProtocol() != QSsl::TlsV1_3 || peerCode_.isEmpty()) {
        Fail(OpenFailure::NotASessionPeer, "the TLS session is not TLS 1.3 with a certificate");
        return;
    }
    state_ = State::AwaitingHello;
    HelloMessage hello = setup_.hello;
    hello.version = setup_.limits.version;
    Write(static_cast<std::uint8_t>(FrameKind::Hello), Encode(hello).payload);
    OnReadyRead();  // frames that came with the end of the handshake
}

void SessionConnection::OnReadyRead() {
    if ((state_ != State::AwaitingHello && state_ != State::Established) || receivePaused_) {
        return;
    }
    reader_.ReadFrom(*socket_);
    Frame frame;
    // A consumer that pauses the reading meanwhile gets the rest when it resumes.
    while (state_ != State::Ended && !receivePaused_) {
        switch (reader_.Next(frame)) {
            case FrameReader::Status::NeedMore:
                return;
            case FrameReader::Status::TooLarge:
                Violation(CloseCode::TooLarge, "a frame over the limit of " +
                                                   QString::number(setup_.limits.maxFramePayload) +
                                                   " bytes");
                return;
            case FrameReader::Status::Malformed:
                Violation(CloseCode::Malformed, "a frame of kind 0");
                return;
            case FrameReader::Status::Ready:
                lastActivity_ = SessionClockMs();
                Handle(frame);
                break;
        }
    }
}

void SessionConnection::Handle(const Frame& frame) {
    const auto kind = static_cast<FrameKind>(frame.kind);
    if (kind == FrameKind::Close) {
        OnClose(frame);
        return;
    }
    if (kind == FrameKind::Hello || state_ == State::AwaitingHello) {
        OnHello(frame);
        return;
    }
    if (kind == FrameKind::Text) {
        if (const std::optional<TextMessage> text = DecodeText(frame.payload)) {
            emit textReceived(this, *text);
        } else {
            Violation(CloseCode::Malformed, "a malformed TEXT");
        }
    } else if (kind == FrameKind::Ack) {
        if (const std::optional<AckMessage> ack = DecodeAck(frame.payload)) {
            emit ackReceived(this, *ack);
        } else {
            Violation(CloseCode::Malformed, "a malformed ACK");
        }
    } else if (frame.kind >= kFirstFileKind && frame.kind <= kLastFileKind &&
               version_ >= kFirstFileVersion) {
        emit fileFrameReceived(this, frame.kind, frame.payload);
    }
    // Any other kind belongs to a later version and is skipped.
}

void SessionConnection::OnHello(const Frame& frame) {
    if (state_ == State::Established) {
        Violation(CloseCode::Malformed, "a second HELLO");
        return;
    }
    const std::optional<HelloMessage> hello =
        frame.kind == static_cast<std::uint8_t>(FrameKind::Hello) ? DecodeHello(frame.payload)
                                                                  : std::nullopt;
    if (!hello) {
        Violation(CloseCode::Malformed,
                  frame.kind == static_cast<std::uint8_t>(FrameKind::Hello)
                      ? "a malformed HELLO"
                      : "a frame of kind " + QString::number(frame.kind) + " before HELLO");
        return;
    }
    peerHello_ = *hello;
    version_ = std::min(hello->version, setup_.limits.version);
    state_ = State::Established;
    timer_.start(setup_.limits.idleTimeoutMs);
    emit established(this);
}

void SessionConnection::OnClose(const Frame& frame) {
    const CloseMessage close = DecodeClose(frame.payload).value_or(CloseMessage{});
    const bool wasEstablished = state_ == State::Established;
    state_ = State::Ended;
    timer_.start(setup_.limits.handshakeTimeoutMs);
    socket_->disconnectFromHost();
    const QString reason = "closed by the peer: " + QString::number(close.code) +
                           (close.reason.isEmpty() ? QString() : " " + close.reason);
    if (wasEstablished) {
        emit ended(this, close.code, close.reason);
    } else {
        emit failed(this, OpenFailure::NotASessionPeer, reason);
    }
}

void SessionConnection::OnTimer() {
    switch (state_) {
        case State::Opening:
        case State::AwaitingHello:
            if (!outgoing_) {
                emit protocolError(this, "no handshake and HELLO within " +
                                             Seconds(setup_.limits.handshakeTimeoutMs));
            }
            Fail(tcpConnected_ ? OpenFailure::NotASessionPeer : OpenFailure::NoAnswer,
                 (tcpConnected_ ? "no handshake and HELLO within " : "no connection within ") +
                     Seconds(outgoing_ ? setup_.limits.openTimeoutMs
                                       : setup_.limits.handshakeTimeoutMs));
            return;
        case State::Established: {
            const qint64 idle = SessionClockMs() - lastActivity_;
            if (idle < setup_.limits.idleTimeoutMs) {
                timer_.start(static_cast<int>(setup_.limits.idleTimeoutMs - idle));
                return;
            }
            Close(CloseCode::Idle);
            emit ended(this, static_cast<int>(CloseCode::Idle), ReasonText(CloseCode::Idle));
            return;
        }
        case State::Ended:
            // The peer did not take the last bytes in time.
            socket_->abort();
            deleteLater();
            return;
    }
}

void SessionConnection::OnSocketError() {
    if (state_ == State::Ended) {
        return;
    }
    const QString detail = tlsErrors_.isEmpty() ? socket_->errorString() : tlsErrors_;
    if (state_ == State::Established) {
        state_ = State::Ended;
        socket_->abort();
        deleteLater();
        emit ended(this, -1, "the connection was lost: " + detail);
        return;
    }
    if (!tcpConnected_) {
        Fail(socket_->error() == QAbstractSocket::ConnectionRefusedError ? OpenFailure::Refused
                                                                         : OpenFailure::NoAnswer,
             detail);
        return;
    }
    if (!outgoing_) {
        emit protocolError(this, "the handshake failed: " + detail);
    }
    Fail(OpenFailure::NotASessionPeer, detail);
}

void SessionConnection::OnWritten() {
    if (wantsBulk_ && state_ == State::Established && Unsent() < setup_.limits.bulkThreshold) {
        wantsBulk_ = false;
        emit bulkWritable(this);
    }
}

void SessionConnection::Violation(CloseCode code, const QString& detail) {
    const bool wasEstablished = state_ == State::Established;
    Close(code);
    emit protocolError(this, detail);
    if (wasEstablished) {
        emit ended(this, static_cast<int>(code), detail);
    } else {
        emit failed(this, OpenFailure::NotASessionPeer, detail);
    }
}

void SessionConnection::Fail(OpenFailure failure, const QString& detail) {
    Abort();
    emit failed(this, failure, detail);
}

bool SessionConnection::SendControl(const Frame& frame) {
    if (state_ != State::Established) {
        return false;
    }
    Write(frame.kind, frame.payload);
    return true;
}

void SessionConnection::SetReceivePaused(bool paused) {
    if (paused == receivePaused_) {
        return;
    }
    receivePaused_ = paused;
    // The socket stops taking bytes from the kernel once its bounded buffer is full; reading
    // again (OnReadyRead) makes it decrypt what it holds.
    if (!paused) {
        // Later, so that the consumer that resumes is not entered again from its own call.
        QMetaObject::invokeMethod(this, &SessionConnection::OnReadyRead, Qt::QueuedConnection);
    }
}

bool SessionConnection::SendBulk(std::uint8_t kind, QByteArrayView payload) {
    if (state_ != State::Established || Unsent() >= setup_.limits.bulkThreshold) {
        wantsBulk_ = state_ == State::Established;
        return false;
    }
    Write(kind, payload);
    return true;
}

void SessionConnection::Close(CloseCode code) {
    if (state_ == State::Ended) {
        return;
    }
    if (socket_->isEncrypted()) {
        Write(static_cast<std::uint8_t>(FrameKind::Close),
              Encode(CloseMessage{static_cast<int>(code), ReasonText(code)}).payload);
        // Handed to the kernel now: a program that ends right after still sends it.
        socket_->flush();
    }
    state_ = State::Ended;
    timer_.start(setup_.limits.handshakeTimeoutMs);
    socket_->disconnectFromHost();
}

void SessionConnection::Abort() {
    state_ = State::Ended;
    timer_.stop();
    socket_->abort();
    deleteLater();
}

void SessionConnection::Write(std::uint8_t kind, QByteArrayView payload) {
    // The socket copies what it is given: the header and the payload go in as they are.
    const std::array<char, kFrameHeaderSize> header = FrameHeader(kind, payload.size());
    socket_->write(header.data(), kFrameHeaderSize);
    socket_->write(payload.data(), payload.size());
    lastActivity_ = SessionClockMs();
}

qint64 SessionConnection::Unsent() const {
    return socket_->bytesToWrite() + socket_->encryptedBytesToWrite();
}

QString SessionConnection::ReasonText(CloseCode code) {
    switch (code) {
        case CloseCode::Normal:
            return "closed";
        case CloseCode::Idle:
            return "idle for too long";
        case CloseCode::Busy:
            return "too many sessions";
        case CloseCode::Malformed:
            return "malformed frame";
        case CloseCode::TooLarge:
            return "frame too large";
        case CloseCode::Replaced:
            return "replaced by a newer session";
        case CloseCode::Shutdown:
            return "shutting down";
    }
    return {};
}

}  // namespace tollix
