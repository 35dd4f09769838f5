#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tollix {

// The five message types; NetMessage::msgType may also hold any other value received
// from elsewhere.
inline constexpr int MSGTYPE_OFFLINE = 0;
inline constexpr int MSGTYPE_HELLO = 1;
inline constexpr int MSGTYPE_ONLINE = 2;
inline constexpr int MSGTYPE_AWAY = 3;
inline constexpr int MSGTYPE_TEXT = 4;

// Upper bound of a datagram: send and receive buffers have exactly this size.
inline constexpr std::size_t kMaxDatagram = 32000;
using DatagramBuffer = std::array<char, kMaxDatagram>;

// The protocol mark and version that every copy writes.
inline constexpr std::string_view kProtocolMagic = "*TOLLIX*";
inline constexpr std::int32_t kProtocolVersion = 3;

// One protocol message. A plain value: a fresh one is made for every message sent and
// every datagram received. Wire text stays bytes in the locale's charset.
struct NetMessage {
    std::array<char, 9> magic{};  // up to 8 characters and a NUL
    std::int32_t version = 0;
    std::int32_t id = 0;
    std::int32_t msgType = -1;  // -1: no type
    std::string from;           // empty when the originating copy sends it
    std::int32_t fromPort = 0;  // 0 when the originating copy sends it
    std::string to;
    std::int32_t tunnel = 0;  // id of the tunnel crossed last; 0: none
    std::string body;         // key=value pairs separated by "|"

    // The characters of `magic` up to its NUL.
    std::string_view Magic() const;
    // Stores the first 8 characters of `value`, padded with NULs.
    void SetMagic(std::string_view value);

    bool operator==(const NetMessage&) const = default;
};

}  // namespace tollix
