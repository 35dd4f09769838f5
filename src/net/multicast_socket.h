#pragma once

#include <netinet/in.h>

#include <set>

#include "net/channel_events.h"
#include "net/interface_watcher.h"
#include "net/local_addresses.h"
#include "net/multicast_channel.h"
#include "net/udp_socket.h"

namespace tollix {

// The multicast group on Linux: a receive socket that is a member of the group on every
// usable interface and hands every datagram, this copy's own included, to ChannelEvents;
// and a send socket whose port receivers record as the sender's.
//
// While joined it follows the interfaces as they come and go (a laptop whose Wi-Fi connects
// after start-up, a new DHCP address): it joins those that appear, leaves those that
// vanish, and tells ChannelEvents when a new address was joined so that the copy announces
// itself there.
class CMulticastSocket : public MulticastChannel {
public:
    explicit CMulticastSocket(ChannelEvents& events);

    bool JoinGroup(const std::string& group, std::uint16_t port, int ttl, int loopback) override;
    bool LeaveGroup() override;
    bool SendToGroup(const char* buffer, std::size_t length) override;
    int GetLocalAddresses(std::vector<std::string>& addresses) override;
    bool IsLocalAddress(std::string_view address) override;

private:
    // Local addresses that can carry the group and that skip192168Interfaces does not
    // leave out.
    std::vector<LocalInterface> UsableInterfaces();
    // Brings the memberships in line with the usable interfaces; false when a join failed.
    bool UpdateMemberships(const std::vector<LocalInterface>& usable);
    bool SetMembership(int option, unsigned interfaceIndex);
    void OnInterfacesChanged();
    void Close();

    ChannelEvents& events_;
    UdpSocket receiveSocket_;
    UdpSocket sendSocket_;
    sockaddr_in groupAddress_{};
    std::set<unsigned> memberships_;         // indexes of the interfaces joined
    std::set<std::string> joinedAddresses_;  // the usable addresses at the last update
    LocalAddressCache localAddresses_;
    InterfaceWatcher watcher_;
};

}  // namespace tollix
