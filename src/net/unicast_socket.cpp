#include "net/unicast_socket.h"

#include <arpa/inet.h>

#include "net/system_error.h"
#include "net/threaded_resolver.h"

namespace tollix {

namespace {

sockaddr_in Destination(in_addr address, std::uint16_t port) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr = address;
    return destination;
}

// A failed look-up in the resolver's words, with the name that was looked up.
std::string LookupFailed(const std::string& host, const HostResolver::Result& answer) {
    return host + ": " + (answer.failure.empty() ? "Unknown host" : answer.failure);
}

}  // namespace

CUnicastSocket::CUnicastSocket(ChannelEvents& events, std::unique_ptr<HostResolver> resolver)
    : events_(events), resolver_(std::move(resolver)) {
    if (!resolver_) {
        resolver_ = std::make_unique<ThreadedResolver>();
    }
}

CUnicastSocket::~CUnicastSocket() = default;

bool CUnicastSocket::OpenChannel(std::uint16_t port) {
    CloseChannel();
    // No address reuse: a port that another program holds stays its own, and tunnel
    // datagrams go to exactly one copy on the machine.
    if (!receiveSocket_.Open(port, /*reuseAddress=*/false)) {
        return false;
    }
    receiveSocket_.WatchArrivals(
        [this](std::string_view text, const std::string& address, std::uint16_t senderPort) {
            events_.HandleDatagram(text, address, senderPort, /*fromMulticast=*/false);
        });
    return sendSocket_.Open(0, /*reuseAddress=*/false);
}

bool CUnicastSocket::CloseChannel() {
    receiveSocket_.Close();
    destinations_.ForgetIdle();
    if (!destinations_.AnyWaiting()) {
        sendSocket_.Close();
    }
    return true;
}

bool CUnicastSocket::SendToHost(const std::string& host, std::uint16_t port, const char* buffer,
                                std::size_t length) {
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1 && sendSocket_.IsOpen()) {
        const auto now = std::chrono::steady_clock::now();
        HostResolver::Result known;
        switch (destinations_.Find(host, now, known)) {
            case TunnelDestinations::State::Known:
                address = *known.address;
                break;
            case TunnelDestinations::State::Failed:
                events_.ReportSystemError(LookupFailed(host, known));
                return false;
            case TunnelDestinations::State::Unknown:
                if (destinations_.Wait(host, {port, std::string(buffer, length)}, now)) {
                    resolver_->Lookup(
                        host, [this](const std::string& name, const HostResolver::Result& answer) {
                            OnAnswer(name, answer);
                        });
                }
                return true;
        }
    }
    // A closed channel fails here, name or not.
    if (!sendSocket_.SendTo(buffer, length, Destination(address, port))) {
        events_.ReportSystemError(LastSystemError());
        return false;
    }
    return true;
}

void CUnicastSocket::OnAnswer(const std::string& host, const HostResolver::Result& answer) {
    const std::vector<TunnelDestinations::Datagram> waited =
        destinations_.Answer(host, answer, std::chrono::steady_clock::now());
    std::string failure;
    if (!answer.address) {
        if (!waited.empty()) {
            failure = LookupFailed(host, answer);
        }
    } else {
        for (const TunnelDestinations::Datagram& datagram : waited) {
            if (!sendSocket_.SendTo(datagram.bytes.data(), datagram.bytes.size(),
                                    Destination(*answer.address, datagram.port)) &&
                failure.empty()) {
                failure = LastSystemError();
            }
        }
    }
    if (!receiveSocket_.IsOpen() && !destinations_.AnyWaiting()) {
        sendSocket_.Close();  // closed while these waited: now they have gone
    }
    // Reported once per look-up, after everything that waited was dealt with: the boxes
    // run a nested event loop.
    if (!failure.empty()) {
        events_.ReportSystemError(failure);
        events_.ReportTunnelSendFailed();
    }
    if (!destinations_.AnyWaiting()) {
        events_.OnTunnelSendsGone();
    }
}

}  // namespace tollix
