#include "core/traffic_stats.h"

namespace tollix {

namespace {

// Adds with the wrap-around of 32-bit two's complement, which signed arithmetic in C++
// does not promise.
void Add(std::int32_t& counter, int amount) {
    counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) +
                                        static_cast<std::uint32_t>(amount));
}

}  // namespace

void TrafficStats::Count(CountKind kind, const NetMessage& message, int length) {
    if (kind == CountKind::AllDatagrams) {
        Add(receivedPackets, 1);
        Add(receivedBytes, length);
        return;
    }
    Add(processedPackets, 1);
    Add(processedBytes, length);
    if (message.msgType == MSGTYPE_TEXT) {
        Add(messagePackets, 1);
        Add(messageBytes, length);
    }
}

}  // namespace tollix
