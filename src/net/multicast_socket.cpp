#include "net/multicast_socket.h"

#include <arpa/inet.h>

#include <cerrno>

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

CMulticastSocket::CMulticastSocket(ChannelEvents& events)
    : events_(events), watcher_([this] { OnInterfacesChanged(); }) {}

std::vector<LocalInterface> CMulticastSocket::UsableInterfaces() {
    std::vector<LocalInterface> usable = localAddresses_.Interfaces();
    // A point-to-point tunnel without multicast would swallow or refuse every datagram.
    std::erase_if(usable, [this](const LocalInterface& interface) {
        return !interface.multicast || (skip192168Interfaces && IsPrivate192168(interface.address));
    });
    return usable;
}

void CMulticastSocket::Close() {
    watcher_.Stop();
    memberships_.clear();
    joinedAddresses_.clear();
    sendSocket_.Close();
    receiveSocket_.Close();
}

bool CMulticastSocket::SetMembership(int option, unsigned interfaceIndex) {
    ip_mreqn request{};
    request.imr_multiaddr = groupAddress_.sin_addr;
    request.imr_ifindex = static_cast<int>(interfaceIndex);
    return receiveSocket_.SetOption(IPPROTO_IP, option, request);
}

bool CMulticastSocket::UpdateMemberships(const std::vector<LocalInterface>& usable) {
    std::set<unsigned> wanted;
    for (const LocalInterface& interface : usable) {
        wanted.insert(interface.index);
    }
    bool joinedAll = true;
    for (const unsigned index : wanted) {
        if (memberships_.contains(index)) {
            continue;
        }
        // EADDRINUSE: the interface is a member already, which is all a join is for.
        if (SetMembership(IP_ADD_MEMBERSHIP, index) || receiveSocket_.LastError() == EADDRINUSE) {
            memberships_.insert(index);
        } else {
            joinedAll = false;
        }
    }
    for (auto it = memberships_.begin(); it != memberships_.end();) {
        if (wanted.contains(*it)) {
            ++it;
        } else {
            SetMembership(IP_DROP_MEMBERSHIP, *it);  // fails when the interface is gone
            it = memberships_.erase(it);
        }
    }
    joinedAddresses_.clear();
    for (const LocalInterface& interface : usable) {
        joinedAddresses_.insert(interface.address);
    }
    return joinedAll;
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
    if (!ToInAddr(group, groupAddress_.sin_addr) || !UpdateMemberships(UsableInterfaces()) ||
        !sendSocket_.Open(0, /*reuseAddress=*/false)) {
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
    watcher_.Start();
    return true;
}

void CMulticastSocket::OnInterfacesChanged() {
    if (!receiveSocket_.IsOpen()) {
        return;
    }
    localAddresses_.Invalidate();
    const std::vector<LocalInterface> usable = UsableInterfaces();
    bool appeared = false;
    for (const LocalInterface& interface : usable) {
        appeared = appeared || !joinedAddresses_.contains(interface.address);
    }
    UpdateMemberships(usable);  // a join that fails is tried again at the next change
    if (appeared) {
        events_.OnInterfaceJoined();
    }
}

bool CMulticastSocket::LeaveGroup() {
    // False when there was no membership to drop, as with no usable interface, or when one
    // could not be dropped; an interface that is gone has been left by the kernel already.
    bool dropped = !memberships_.empty();
    for (const unsigned index : memberships_) {
        if (!SetMembership(IP_DROP_MEMBERSHIP, index) && receiveSocket_.LastError() != ENODEV) {
            dropped = false;
        }
    }
    Close();
    return dropped;
}

bool CMulticastSocket::SendToGroup(const char* buffer, std::size_t length) {
    for (const LocalInterface& interface : UsableInterfaces()) {
        in_addr outgoing{};
        if (ToInAddr(interface.address, outgoing)) {
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
    // Every address, whether or not it can carry the group: the Networking page lists them.
    const std::vector<std::string> local = ReadLocalAddresses();
    addresses.insert(addresses.end(), local.begin(), local.end());
    return static_cast<int>(local.size());
}

bool CMulticastSocket::IsLocalAddress(std::string_view address) {
    return localAddresses_.Contains(address);
}

}  // namespace tollix
