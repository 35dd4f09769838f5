#include "protocol/random_id.h"

#include <chrono>
#include <random>

namespace tollix {

namespace {

std::mt19937 SeededEngine() {
    // The clock keeps two runs apart even where random_device is deterministic.
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    std::random_device device;
    std::seed_seq seed{device(), device(), static_cast<unsigned>(now),
                       static_cast<unsigned>(now >> 32)};
    return std::mt19937(seed);
}

}  // namespace

std::int32_t RandomId() {
    // All 1,000,000 values are drawn: with fewer, a new message would often share its ID
    // with one of the last 100 and be dropped as a duplicate by every receiver.
    static std::mt19937 engine = SeededEngine();
    static std::uniform_int_distribution<std::int32_t> distribution(0, 999999);
    return distribution(engine);
}

}  // namespace tollix
