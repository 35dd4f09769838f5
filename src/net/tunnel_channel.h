#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tollix {

// The tunnels as routing and connection control use them. The real channel is
// CUnicastSocket; tests put a fake in its place.
class TunnelChannel {
public:
    virtual ~TunnelChannel() = default;

    // Opens the receive socket on `port` and the send socket; true when both are open.
    // When only the send socket fails, datagrams from tunnels still arrive.
    virtual bool OpenChannel(std::uint16_t port) = 0;
    // Closes both sockets; always succeeds.
    virtual bool CloseChannel() = 0;
    // Sends one datagram to `host`: a dotted address at once, a name once it has been
    // looked up. False when the send failed at once (reported through ChannelEvents); a
    // failure after the look-up is reported through ChannelEvents alone.
    virtual bool SendToHost(const std::string& host, std::uint16_t port, const char* buffer,
                            std::size_t length) = 0;
    // True while datagrams wait for the look-up of a host name, also after closing.
    virtual bool SendsPending() const { return false; }
};

}  // namespace tollix
