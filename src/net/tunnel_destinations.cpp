#include "net/tunnel_destinations.h"

#include <iterator>
#include <utility>

namespace tollix {

TunnelDestinations::State TunnelDestinations::Find(const std::string& host, Time now,
                                                   HostResolver::Result& known) const {
    const auto found = hosts_.find(host);
    if (found == hosts_.end() || !found->second.waiting.empty() || now >= found->second.expires) {
        return State::Unknown;
    }
    known = found->second.answer;
    return known.address ? State::Known : State::Failed;
}

bool TunnelDestinations::Wait(const std::string& host, Datagram datagram, Time now) {
    if (!hosts_.contains(host)) {
        std::erase_if(hosts_, [now](const auto& entry) {
            const Host& known = entry.second;
            return known.waiting.empty() && now >= known.expires;
        });
    }
    Host& entry = hosts_[host];
    const bool idle = entry.waiting.empty();  // a look-up is under way while datagrams wait
    if (entry.waiting.size() >= kMaxWaiting) {
        entry.waiting.pop_front();
    }
    entry.waiting.push_back(std::move(datagram));
    return idle;
}

std::vector<TunnelDestinations::Datagram> TunnelDestinations::Answer(
    const std::string& host, const HostResolver::Result& answer, Time now) {
    Host& entry = hosts_[host];
    entry.answer = answer;
    entry.expires = now + (answer.address ? kKeepAddress : kKeepFailure);
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
