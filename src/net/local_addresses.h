#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace tollix {

// One IPv4 address of this machine and the interface that holds it.
struct LocalInterface {
    std::string address;     // dotted
    unsigned index = 0;      // the interface's index
    bool multicast = false;  // the interface can carry multicast (not a point-to-point tunnel)
};

// The IPv4 addresses of interfaces that are up and are not loopback, in interface order.
// Read afresh on every call.
std::vector<LocalInterface> ReadLocalInterfaces();

// The same addresses alone, in dotted form.
std::vector<std::string> ReadLocalAddresses();

// True when `address` begins with "192.168.", the addresses that the setting
// "No 192.168.x.x IPs" leaves out of the multicast channel.
bool IsPrivate192168(const std::string& address);

// The local interfaces, read again when the last reading is a second old or Invalidate was
// called: routing asks several times per datagram, and one reading costs a round trip to
// the kernel.
class LocalAddressCache {
public:
    const std::vector<LocalInterface>& Interfaces();
    bool Contains(std::string_view address);
    // Forces the next call to read afresh.
    void Invalidate() { valid_ = false; }

private:
    std::vector<LocalInterface> interfaces_;
    std::chrono::steady_clock::time_point readAt_{};
    bool valid_ = false;
};

}  // namespace tollix
