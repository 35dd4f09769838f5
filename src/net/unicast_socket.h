#pragma once

#include <memory>

#include "net/channel_events.h"
#include "net/host_resolver.h"
#include "net/tunnel_channel.h"
#include "net/tunnel_destinations.h"
#include "net/udp_socket.h"

namespace tollix {

// The tunnels on Linux: a receive socket on the tunnel port that accepts datagrams from any
// sender and hands them to ChannelEvents, and a send socket for datagrams to tunnel hosts.
//
// A host given by name is looked up asynchronously, so that a slow name server never holds
// up the event loop. Its datagrams wait for the answer (at most 64 per host, the oldest
// dropped), which is then kept for 60 seconds (a failure for 10); a look-up that fails is
// reported as a failed send, with the name and the resolver's reason. Closing the channel keeps the
// send socket until the datagrams that wait for a look-up, such as a farewell, have gone.
class CUnicastSocket : public TunnelChannel {
public:
    // Without a resolver, the system's is used on worker threads.
    explicit CUnicastSocket(ChannelEvents& events, std::unique_ptr<HostResolver> resolver = {});
    ~CUnicastSocket() override;

    bool OpenChannel(std::uint16_t port) override;
    bool CloseChannel() override;
    // True when the datagram was sent, or waits for the look-up of the host's name.
    bool SendToHost(const std::string& host, std::uint16_t port, const char* buffer,
                    std::size_t length) override;
    bool SendsPending() const override { return destinations_.AnyWaiting(); }

    bool IsReceiving() const { return receiveSocket_.IsOpen(); }

private:
    void OnAnswer(const std::string& host, const HostResolver::Result& answer);

    ChannelEvents& events_;
    std::unique_ptr<HostResolver> resolver_;
    TunnelDestinations destinations_;
    UdpSocket receiveSocket_;
    UdpSocket sendSocket_;
};

}  // namespace tollix
