#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/host_resolver.h"

namespace tollix {

// What the tunnel channel knows of the hosts it sends to by name: the address a look-up
// gave, for a while, and the datagrams that wait while a look-up is under way. Bounded: a
// host keeps at most 64 waiting datagrams, and a name is forgotten once its answer is old
// and nothing waits for it.
class TunnelDestinations {
public:
    using Time = std::chrono::steady_clock::time_point;
    // An address is used this long after its look-up, so that a host that moves is followed.
    static constexpr std::chrono::seconds kKeepAddress{60};
    // A failed look-up fails sends at once for this long instead of queueing them again.
    static constexpr std::chrono::seconds kKeepFailure{10};
    static constexpr std::size_t kMaxWaiting = 64;

    struct Datagram {
        std::uint16_t port;
        std::string bytes;
    };
    enum class State { Known, Failed, Unknown };

    // What is known of `host` at `now`: `known` holds its address when it is Known, and
    // the resolver's reason when it is Failed.
    State Find(const std::string& host, Time now, HostResolver::Result& known) const;
    // Queues a datagram for `host`, dropping its oldest beyond 64. True when a look-up must
    // be started because none is under way.
    bool Wait(const std::string& host, Datagram datagram, Time now);
    // Keeps the answer of the look-up for `host` and hands back what waited for it.
    std::vector<Datagram> Answer(const std::string& host, const HostResolver::Result& answer,
                                 Time now);
    bool AnyWaiting() const;
    // Forgets every name that nothing waits for.
    void ForgetIdle();

private:
    struct Host {
        HostResolver::Result answer;
        Time expires{};
        std::deque<Datagram> waiting;  // not empty exactly while a look-up is under way
    };

    std::unordered_map<std::string, Host> hosts_;
};

}  // namespace tollix
