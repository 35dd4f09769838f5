#pragma once

#include "net/channel_events.h"
#include "net/tunnel_channel.h"
#include "net/udp_socket.h"

namespace tollix {

// The tunnels on Linux: a receive socket on the tunnel port that accepts datagrams from any
// sender and hands them to ChannelEvents, and a send socket for datagrams to tunnel hosts.
class CUnicastSocket : public TunnelChannel {
public:
    explicit CUnicastSocket(ChannelEvents& events);

    bool OpenChannel(std::uint16_t port) override;
    bool CloseChannel() override;
    bool SendToHost(const std::string& host, std::uint16_t port, const char* buffer,
                    std::size_t length) override;

    bool IsReceiving() const { return receiveSocket_.IsOpen(); }

private:
    ChannelEvents& events_;
    UdpSocket receiveSocket_;
    UdpSocket sendSocket_;
};

}  // namespace tollix
