#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace tollix {

// This machine's IPv4 addresses in dotted form: those of interfaces that are up and are
// not loopback, in interface order. Read afresh on every call.
std::vector<std::string> ReadLocalAddresses();

// True when `address` begins with "192.168.", the addresses that the setting
// "No 192.168.x.x IPs" leaves out of the multicast channel.
bool IsPrivate192168(const std::string& address);

// The local addresses, read again when the last reading is a second old: routing asks
// several times per datagram, and one reading costs a round trip to the kernel.
class LocalAddressCache {
public:
    const std::vector<std::string>& Addresses();
    bool Contains(std::string_view address);
    // Forces the next call to read afresh.
    void Invalidate() { valid_ = false; }

private:
    std::vector<std::string> addresses_;
    std::chrono::steady_clock::time_point readAt_{};
    bool valid_ = false;
};

}  // namespace tollix
