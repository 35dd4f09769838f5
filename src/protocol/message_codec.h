#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "protocol/net_message.h"

namespace tollix {

// The local user as every message presents it.
struct UserIdentity {
    std::string firstName;
    std::string lastName;
    std::string groupName;
};

// Builds, writes and reads envelopes. Holds no state.
//
// An envelope is one line of text:
//   <<<|MAGIC|VERSION|ID=n|MSGTYPE=n|FROM=address:port[|TO=address][|TUNNEL=n][|body]|>>>
// sent with one trailing NUL byte.
class MessageCodec {
public:
    // Fills a fresh record for `type`: magic, version, a new ID, the type, tunnel 0, and
    // for the five known types the body keys with `extra` appended. Never fails.
    bool Build(int type, NetMessage& message, std::string_view extra,
               const UserIdentity& user) const;

    // Writes the envelope and its NUL into `buffer`; `length` receives the byte count.
    // An envelope of 32000 characters or more is cut to 32000 bytes without NUL (and is
    // then rejected by every receiver). Never fails.
    bool Encode(const NetMessage& message, DatagramBuffer& buffer, std::size_t& length) const;

    // The envelope text alone, without the NUL and without the 32000-byte cut.
    static std::string EnvelopeText(const NetMessage& message);

    // True when the envelope still arrives whole after every copy on its way has stamped it:
    // a sender filled in as "255.255.255.255:65535" and "|TUNNEL=-2147483648", the longest
    // stamps there are. A text that fails this would reach the local subnet but arrive cut,
    // and be rejected, behind a tunnel.
    static bool ArrivesWholeAfterRelay(const NetMessage& message);

    // Accepts `text` when it begins with "<<<", its first ">>>" closes it and it has at most
    // 32000 characters; then fills every field of `message`. On rejection `message` is left
    // as it was and the result is false.
    bool Decode(NetMessage& message, std::string_view text) const;
};

}  // namespace tollix
