#pragma once

#include <cstdint>

#include "protocol/net_message.h"

namespace tollix {

enum class CountKind {
    AllDatagrams,  // every datagram that reaches routing, decoded or not
    NewMessages,   // multicast arrivals that passed duplicate suppression
};

// Packet and byte counters since the program started. They wrap around as 32-bit signed
// integers and are never reset.
struct TrafficStats {
    std::int32_t receivedPackets = 0;
    std::int32_t receivedBytes = 0;
    std::int32_t processedPackets = 0;
    std::int32_t processedBytes = 0;
    std::int32_t messagePackets = 0;
    std::int32_t messageBytes = 0;
    std::int64_t startTime = 0;

    void Count(CountKind kind, const NetMessage& message, int length);
};

}  // namespace tollix
