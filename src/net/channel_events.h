#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tollix {

// The one interface through which the channels reach their owner: every datagram they
// receive, and the failures that the user must be told about.
class ChannelEvents {
public:
    virtual ~ChannelEvents() = default;

    // `text` is the datagram's bytes up to its first NUL (at most 32000); `fromMulticast`
    // tells the group from the tunnels.
    virtual void HandleDatagram(std::string_view text, const std::string& senderAddress,
                                std::uint16_t senderPort, bool fromMulticast) = 0;

    // A system call failed; `text` is the system's own description of the error.
    virtual void ReportSystemError(const std::string& text) = 0;

    // Datagrams for a tunnel host could not be sent after its name was looked up; the
    // system's text has been reported just before.
    virtual void ReportTunnelSendFailed() = 0;

    // The last datagram that waited for a tunnel host's name has been dealt with: a
    // farewell held up by a look-up has now gone.
    virtual void OnTunnelSendsGone() = 0;

    // A failure after which the operation goes on.
    virtual void ReportWarning(const std::string& text) = 0;

    // The multicast channel has joined the group on an address that appeared while it was
    // joined (an interface that came up, a new DHCP address).
    virtual void OnInterfaceJoined() = 0;
};

}  // namespace tollix
