#pragma once

#include <netinet/in.h>

#include <functional>
#include <optional>
#include <string>

namespace tollix {

// Looks up the IPv4 address of a host name without blocking the event loop. The answer is
// delivered later on the event loop, never from inside Lookup; nothing is delivered after
// the resolver is destroyed. Tests put a resolver of their own in its place.
class HostResolver {
public:
    struct Result {
        std::optional<in_addr> address;  // the first IPv4 address of the host
        std::string failure;             // without one: why, in the resolver's words
    };
    using Answer = std::function<void(const std::string& host, const Result& result)>;

    virtual ~HostResolver() = default;
    virtual void Lookup(const std::string& host, Answer answer) = 0;
};

}  // namespace tollix
