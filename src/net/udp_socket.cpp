#include "net/udp_socket.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <cstring>

#include "net/system_error.h"
#include "protocol/net_message.h"

namespace tollix {

namespace {
// Datagrams read per wake-up at most, so that a flood on one socket cannot starve the
// rest of the event loop.
constexpr int kReadsPerWakeUp = 64;
}  // namespace

UdpSocket::~UdpSocket() {
    Close();
}

bool UdpSocket::Open(std::uint16_t port, bool reuseAddress) {
    Close();
    descriptor_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor_ < 0) {
        RecordFailure();
        return false;
    }
    const int on = 1;
    if (reuseAddress) {
        SetOption(SOL_SOCKET, SO_REUSEADDR, on);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(descriptor_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        RecordFailure();
        Close();
        return false;
    }
    return true;
}

void UdpSocket::Close() {
    if (notifier_ != nullptr) {
        notifier_->setEnabled(false);
        // Closing from inside a receiver (a nested event loop) must not delete the notifier
        // whose signal is being delivered.
        if (readDepth_ > 0) {
            notifier_->deleteLater();
        } else {
            delete notifier_;
        }
        notifier_ = nullptr;
    }
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

bool UdpSocket::SetOption(int level, int name, const void* value, socklen_t size) {
    if (::setsockopt(descriptor_, level, name, value, size) != 0) {
        RecordFailure();
        return false;
    }
    return true;
}

bool UdpSocket::SendTo(const char* data, std::size_t length, const sockaddr_in& destination) {
    const ssize_t sent =
        ::sendto(descriptor_, data, length, 0, reinterpret_cast<const sockaddr*>(&destination),
                 sizeof destination);
    if (sent < 0) {
        RecordFailure();
        return false;
    }
    return true;
}

void UdpSocket::RecordFailure() {
    lastError_ = errno;
    RecordSystemError(lastError_);
}

void UdpSocket::WatchArrivals(Receiver receiver) {
    receiver_ = std::move(receiver);
    if (descriptor_ < 0 || notifier_ != nullptr) {
        return;
    }
    notifier_ = new QSocketNotifier(descriptor_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { ReadArrivals(); });
}

std::uint16_t UdpSocket::LocalPort() const {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (descriptor_ < 0 ||
        ::getsockname(descriptor_, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

void UdpSocket::ReadArrivals() {
    const int descriptor = descriptor_;
    const Receiver receiver = receiver_;  // a nested loop may reopen the socket meanwhile
    ++readDepth_;
    for (int reads = 0; reads < kReadsPerWakeUp && descriptor_ == descriptor; ++reads) {
        // One buffer per call: a receiver may run a nested event loop that reads again.
        DatagramBuffer buffer;
        sockaddr_in sender{};
        socklen_t senderSize = sizeof sender;
        // MSG_TRUNC makes the call return the datagram's real size, so that one longer
        // than the buffer is recognised and dropped instead of handed on cut.
        const ssize_t size =
            ::recvfrom(descriptor, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                       reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (size < 0) {
            break;
        }
        if (size == 0 || static_cast<std::size_t>(size) > buffer.size() ||
            sender.sin_family != AF_INET) {
            continue;
        }
        const auto received = static_cast<std::size_t>(size);
        const void* nul = std::memchr(buffer.data(), '\0', received);
        const std::size_t length =
            nul == nullptr
                ? received
                : static_cast<std::size_t>(static_cast<const char*>(nul) - buffer.data());
        char dotted[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &sender.sin_addr, dotted, sizeof dotted);
        receiver(std::string_view(buffer.data(), length), std::string(dotted),
                 ntohs(sender.sin_port));
    }
    --readDepth_;
}

}  // namespace tollix
