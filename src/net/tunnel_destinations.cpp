#include "net/tunnel_destinations.h"

#include <iterator>
#include <utility>

namespace tollix {

TunnelDestinations::State TunnelDestinations::Find(const std::string& host, Time now,
                                                   in_addr& address) const {
    const auto found = hosts_.find(host);
    if (found == hosts_.end() || found->second.lookingUp || now >= found->second.expires) {
        return State::Unknown;
    }
    if (!found->second.address) {
        return State::Failed;
    }
    address = *found->second.address;
    return State::Known;
}

bool TunnelDestinations::Wait(const std::string& host, Datagram datagram, Time now) {
    if (!hosts_.contains(host)) {
        std::erase_if(hosts_, [now](const auto& entry) {
            const Host& known = entry.second;
            return !known.lookingUp && known.waiting.empty() && now >= known.expires;
        });
    }
    Host& entry = hosts_[host];
    if (entry.waiting.size() >= kMaxWaiting) {
        entry.waiting.pop_front();
    }
    entry.waiting.push_back(std::move(datagram));
    return !std::exchange(entry.lookingUp, true);
}

std::vector<TunnelDestinations::Datagram> TunnelDestinations::Answer(const std::string& host,
                                                                     std::optional<in_addr> address,
                                                                     Time now) {
    Host& entry = hosts_[host];
    entry.address = address;
    entry.expires = now + (address ? kKeepAddress : kKeepFailure);
    entry.lookingUp = false;
    std::vector<Datagram> waited(std::make_move_iterator(entry.waiting.begin()),
                                 std::make_move_iterator(entry.waiting.end()));
    entry.waiting.clear();
    return waited;
}

bool TunnelDestinations::AnyWaiting() const {
    for (const auto& [name, entry] : hosts_) {
        if (!entry.waiting.empty()) {
            return true;
        }
    }
    return false;
}

void TunnelDestinations::ForgetIdle() {
    std::erase_if(hosts_, [](const auto& entry) { return entry.second.waiting.empty(); });
}

}  // namespace tollix
