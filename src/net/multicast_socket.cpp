#include "net/multicast_socket.h"

#include <arpa/inet.h>

#include <cerrno>

#include "net/local_addresses.h"
#include "net/system_error.h"

namespace tollix {

namespace {

bool ToInAddr(const std::string& dotted, in_addr& address) {
    if (inet_pton(AF_INET, dotted.c_str(), &address) != 1) {
        RecordSystemError(EINVAL);
        return false;
    }
    return true;
}

}  // namespace

CMulticastSocket::CMulticastSocket(ChannelEvents& events) : events_(events) {}

std::vector<std::string> CMulticastSocket::UsableInterfaces() {
    std::vector<std::string> usable = localAddresses_.Addresses();
    if (skip192168Interfaces) {
        std::erase_if(usable, IsPrivate192168);
    }
    return usable;
}

void CMulticastSocket::Close() {
    sendSocket_.Close();
    receiveSocket_.Close();
}

bool CMulticastSocket::JoinGroup(const std::string& group, std::uint16_t port, int ttl,
                                 int /*loopback*/) {
    Close();
    localAddresses_.Invalidate();  // join on the interfaces as they are now
    // Address reuse lets several copies on one machine (a terminal server) share the port.
    if (!receiveSocket_.Open(port, /*reuseAddress=*/true)) {
        return false;
    }
    groupAddress_ = {};
    groupAddress_.sin_family = AF_INET;
    groupAddress_.sin_port = htons(port);
    if (!ToInAddr(group, groupAddress_.sin_addr)) {
        Close();
        return false;
    }
    membership_ = {};
    membership_.imr_multiaddr = groupAddress_.sin_addr;

    for (const std::string& interface : UsableInterfaces()) {
        if (!ToInAddr(interface, membership_.imr_interface)) {
            Close();
            return false;
        }
        // A second address of an interface that is already a member is answered with
        // EADDRINUSE: that interface is joined, which is all the join is for.
        if (!receiveSocket_.SetOption(IPPROTO_IP, IP_ADD_MEMBERSHIP, membership_) &&
            errno != EADDRINUSE) {
            Close();
            return false;
        }
    }

    if (!sendSocket_.Open(0, /*reuseAddress=*/false)) {
        Close();
        return false;
    }
    if (!sendSocket_.SetOption(IPPROTO_IP, IP_MULTICAST_TTL, ttl)) {
        events_.ReportWarning("Warning! Error Setting TTL");
    }
    // On Linux the sending socket's loop option decides whether this copy hears its own
    // datagrams, and routing depends on hearing them: the option stays on whatever value
    // the caller passes.
    const int loopOn = 1;
    sendSocket_.SetOption(IPPROTO_IP, IP_MULTICAST_LOOP, loopOn);

    receiveSocket_.WatchArrivals(
        [this](std::string_view text, const std::string& address, std::uint16_t senderPort) {
            events_.HandleDatagram(text, address, senderPort, /*fromMulticast=*/true);
        });
    return true;
}

bool CMulticastSocket::LeaveGroup() {
    const bool dropped = receiveSocket_.SetOption(IPPROTO_IP, IP_DROP_MEMBERSHIP, membership_);
    Close();
    return dropped;
}

bool CMulticastSocket::SendToGroup(const char* buffer, std::size_t length) {
    for (const std::string& interface : UsableInterfaces()) {
        in_addr outgoing{};
        if (ToInAddr(interface, outgoing)) {
            sendSocket_.SetOption(IPPROTO_IP, IP_MULTICAST_IF, outgoing);
        }
        if (!sendSocket_.SendTo(buffer, length, groupAddress_)) {
            events_.ReportSystemError(LastSystemError());
            return false;
        }
    }
    return true;
}

int CMulticastSocket::GetLocalAddresses(std::vector<std::string>& addresses) {
    const std::vector<std::string> local = ReadLocalAddresses();
    addresses.insert(addresses.end(), local.begin(), local.end());
    return static_cast<int>(local.size());
}

bool CMulticastSocket::IsLocalAddress(std::string_view address) {
    return localAddresses_.Contains(address);
}

}  // namespace tollix
