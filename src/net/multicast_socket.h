#pragma once

#include <netinet/in.h>

#include "net/channel_events.h"
#include "net/local_addresses.h"
#include "net/multicast_channel.h"
#include "net/udp_socket.h"

namespace tollix {

// The multicast group on Linux: a receive socket that joins the group on every usable
// interface and hands every datagram, this copy's own included, to ChannelEvents; and a
// send socket whose port receivers record as the sender's.
class CMulticastSocket : public MulticastChannel {
public:
    explicit CMulticastSocket(ChannelEvents& events);

    bool JoinGroup(const std::string& group, std::uint16_t port, int ttl, int loopback) override;
    bool LeaveGroup() override;
    bool SendToGroup(const char* buffer, std::size_t length) override;
    int GetLocalAddresses(std::vector<std::string>& addresses) override;
    bool IsLocalAddress(std::string_view address) override;

private:
    // Local addresses that skip192168Interfaces does not leave out.
    std::vector<std::string> UsableInterfaces();
    void Close();

    ChannelEvents& events_;
    UdpSocket receiveSocket_;
    UdpSocket sendSocket_;
    sockaddr_in groupAddress_{};
    ip_mreq membership_{};  // group and the interface joined last
    LocalAddressCache localAddresses_;
};

}  // namespace tollix
