#pragma once

#include <string_view>

#include "protocol/net_message.h"

namespace tollix {

// True for an IPv4 address in dotted form: four decimal octets from 0 to 255, each without
// sign, blank or leading zero ("10.0.0.5", not "010.0.0.5" or "10.0.0.5.1").
bool IsDottedQuad(std::string_view text);

// True when the message's sender, as routing has filled it in, can be listed, answered and
// written into this copy's own envelopes: a dotted address and a port from 0 to 65535. Any
// other FROM value (a name, or text that smuggles in "|KEY=" fields) would be echoed into
// the TO field of this user's replies.
bool HasValidSender(const NetMessage& message);

}  // namespace tollix
