#pragma once

#include <string>
#include <vector>

namespace tollix {

// This machine's IPv4 addresses in dotted form: those of interfaces that are up and are
// not loopback, in interface order. Read afresh on every call.
std::vector<std::string> ReadLocalAddresses();

// True when `address` begins with "192.168.", the addresses that the setting
// "No 192.168.x.x IPs" leaves out of the multicast channel.
bool IsPrivate192168(const std::string& address);

}  // namespace tollix
