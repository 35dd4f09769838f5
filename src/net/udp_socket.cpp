#include "net/udp_socket.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include "net/system_error.h"
#include "protocol/net_message.h"

namespace tollix {

namespace {
// Datagrams read per wake-up at most, so that a flood on one socket cannot starve the
// rest of the event loop.
constexpr std::size_t kReadsPerWakeUp = 64;
// Under a flood a wake-up costs more than the datagrams it reads. When wake-ups come closer
// than this, the socket rests for kRest and then reads what has gathered at once.
constexpr auto kBusyWakeUps = std::chrono::microseconds(500);
constexpr auto kRest = std::chrono::milliseconds(1);
// Receive buffer asked for (the system caps it): room for the datagrams of a rest and of a
// modal box's start.
constexpr int kReceiveBuffer = 4 * 1024 * 1024;

// The dotted form of an IPv4 address; inet_ntop goes through printf.
std::string Dotted(in_addr address) {
    const auto bytes = reinterpret_cast<const unsigned char*>(&address.s_addr);
    std::string dotted;
    dotted.reserve(15);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            dotted += '.';
        }
        const unsigned value = bytes[i];
        if (value >= 100) {
            dotted += static_cast<char>('0' + value / 100);
        }
        if (value >= 10) {
            dotted += static_cast<char>('0' + value / 10 % 10);
        }
        dotted += static_cast<char>('0' + value % 10);
    }
    return dotted;
}
}  // namespace

UdpSocket::UdpSocket() {
    rest_.setSingleShot(true);
    QObject::connect(&rest_, &QTimer::timeout, [this] {
        if (notifier_ != nullptr) {
            notifier_->setEnabled(true);
        }
    });
}

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
    SetOption(SOL_SOCKET, SO_RCVBUF, kReceiveBuffer);
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
    rest_.stop();
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

// The buffers of one recvmmsg call: one per datagram, each as long as the longest datagram.
struct UdpSocket::Batch {
    std::array<DatagramBuffer, kDatagramsPerRead> buffers;
    std::array<sockaddr_in, kDatagramsPerRead> senders;
    std::array<iovec, kDatagramsPerRead> parts;
    std::array<mmsghdr, kDatagramsPerRead> headers;
};

void UdpSocket::ReadArrivals() {
    const int descriptor = descriptor_;
    const Receiver receiver = receiver_;  // a nested loop may reopen the socket meanwhile
    // A receiver may run a nested event loop that reads again: each depth has its batch.
    const auto depth = static_cast<std::size_t>(readDepth_);
    if (batches_.size() <= depth) {
        // Not cleared: only the pages that datagrams are written into take memory.
        batches_.push_back(std::make_unique_for_overwrite<Batch>());
    }
    Batch& batch = *batches_[depth];
    ++readDepth_;
    bool drained = false;  // read until nothing was left, rather than up to the limit
    for (std::size_t reads = 0; reads < kReadsPerWakeUp && descriptor_ == descriptor && !drained;
         reads += kDatagramsPerRead) {
        for (std::size_t i = 0; i < kDatagramsPerRead; ++i) {
            batch.parts[i] = {batch.buffers[i].data(), batch.buffers[i].size()};
            batch.headers[i] = {};
            batch.headers[i].msg_hdr.msg_name = &batch.senders[i];
            batch.headers[i].msg_hdr.msg_namelen = sizeof batch.senders[i];
            batch.headers[i].msg_hdr.msg_iov = &batch.parts[i];
            batch.headers[i].msg_hdr.msg_iovlen = 1;
        }
        // One call for several datagrams: under a flood the calls cost more than the data.
        const int count =
            ::recvmmsg(descriptor, batch.headers.data(), kDatagramsPerRead, MSG_DONTWAIT, nullptr);
        drained = count < static_cast<int>(kDatagramsPerRead);
        for (int i = 0; i < count && descriptor_ == descriptor; ++i) {
            const auto at = static_cast<std::size_t>(i);
            const msghdr& header = batch.headers[at].msg_hdr;
            const std::size_t received = batch.headers[at].msg_len;
            // A datagram longer than the buffer is dropped, not handed on cut.
            if (received == 0 || (header.msg_flags & MSG_TRUNC) != 0 ||
                batch.senders[at].sin_family != AF_INET) {
                continue;
            }
            const char* text = batch.buffers[at].data();
            const void* nul = std::memchr(text, '\0', received);
            const std::size_t length =
                nul == nullptr ? received
                               : static_cast<std::size_t>(static_cast<const char*>(nul) - text);
            receiver(std::string_view(text, length), Dotted(batch.senders[at].sin_addr),
                     ntohs(batch.senders[at].sin_port));
        }
    }
    --readDepth_;
    const auto now = std::chrono::steady_clock::now();
    if (drained && now - lastWakeUp_ < kBusyWakeUps && notifier_ != nullptr && !rest_.isActive()) {
        notifier_->setEnabled(false);
        rest_.start(kRest);
    }
    lastWakeUp_ = now;
}

}  // namespace tollix
