#include "net/unicast_socket.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "net/system_error.h"

namespace tollix {

namespace {

// The destination of a tunnel host: a dotted address as it stands, otherwise the first
// IPv4 address that the resolver gives for the name, looked up afresh so that a host
// whose address changes is followed at once.
bool ResolveHost(const std::string& host, in_addr& address) {
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr) {
        RecordSystemError(EINVAL);
        return false;
    }
    sockaddr_in first{};
    std::memcpy(&first, found->ai_addr, sizeof first);
    address = first.sin_addr;
    freeaddrinfo(found);
    return true;
}

}  // namespace

CUnicastSocket::CUnicastSocket(ChannelEvents& events) : events_(events) {}

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
    sendSocket_.Close();
    receiveSocket_.Close();
    return true;
}

bool CUnicastSocket::SendToHost(const std::string& host, std::uint16_t port, const char* buffer,
                                std::size_t length) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    if (!ResolveHost(host, destination.sin_addr) ||
        !sendSocket_.SendTo(buffer, length, destination)) {
        events_.ReportSystemError(LastSystemError());
        return false;
    }
    return true;
}

}  // namespace tollix
