#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tollix {

// The multicast group as routing and connection control use it. The real channel is
// CMulticastSocket; tests put a fake in its place.
class MulticastChannel {
public:
    virtual ~MulticastChannel() = default;

    // Joins the group on every usable interface and opens the send socket. With no usable
    // interface nothing is joined and the join still succeeds.
    virtual bool JoinGroup(const std::string& group, std::uint16_t port, int ttl, int loopback) = 0;
    // Drops the membership of the interface joined last and closes both sockets; false when
    // dropping failed (the sockets are closed all the same).
    virtual bool LeaveGroup() = 0;
    // Sends the datagram once per usable interface; false at the first failed send.
    virtual bool SendToGroup(const char* buffer, std::size_t length) = 0;

    // This machine's IPv4 addresses, appended to `addresses`; returns how many.
    virtual int GetLocalAddresses(std::vector<std::string>& addresses) = 0;
    // True when `address` is one of this machine's, compared without regard to case.
    virtual bool IsLocalAddress(std::string_view address) = 0;

    // Leave out every interface whose address begins with "192.168.".
    bool skip192168Interfaces = false;
};

}  // namespace tollix
