#include "net/local_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstring>

#include "protocol/text.h"

namespace tollix {

std::vector<LocalInterface> ReadLocalInterfaces() {
    std::vector<LocalInterface> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return interfaces;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        char dotted[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &address.sin_addr, dotted, sizeof dotted) != nullptr) {
            interfaces.push_back(
                {dotted, if_nametoindex(entry->ifa_name), (entry->ifa_flags & IFF_MULTICAST) != 0});
        }
    }
    freeifaddrs(list);
    return interfaces;
}

std::vector<std::string> ReadLocalAddresses() {
    std::vector<std::string> addresses;
    for (LocalInterface& interface : ReadLocalInterfaces()) {
        addresses.push_back(std::move(interface.address));
    }
    return addresses;
}

bool IsPrivate192168(const std::string& address) {
    return address.starts_with("192.168.");
}

const std::vector<LocalInterface>& LocalAddressCache::Interfaces() {
    const auto now = std::chrono::steady_clock::now();
    if (!valid_ || now - readAt_ >= std::chrono::seconds(1)) {
        interfaces_ = ReadLocalInterfaces();
        readAt_ = now;
        valid_ = true;
    }
    return interfaces_;
}

bool LocalAddressCache::Contains(std::string_view address) {
    for (const LocalInterface& local : Interfaces()) {
        if (EqualsIgnoreCase(local.address, address)) {
            return true;
        }
    }
    return false;
}

}  // namespace tollix
