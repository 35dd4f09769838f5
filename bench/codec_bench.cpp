// Envelopes per second through the codec, for the text message of the protocol's worked
// example (items_per_second is envelopes per second).
#include <benchmark/benchmark.h>

#include "protocol/message_codec.h"

namespace {

constexpr std::string_view kWorkedExample =
    "<<<|*TOLLIX*|3|ID=4711|MSGTYPE=4|FROM=:0|FIRSTNAME=Ann|SECONDNAME=Lee|GROUP=Dev"
    "|TO=10.0.0.7|TEXT=hello|>>>";

void BM_Encode(benchmark::State& state) {
    tollix::MessageCodec codec;
    tollix::NetMessage message;
    codec.Decode(message, kWorkedExample);
    tollix::DatagramBuffer buffer;
    std::size_t length = 0;
    for (auto _ : state) {
        codec.Encode(message, buffer, length);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::DoNotOptimize(length);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Encode);

void BM_Decode(benchmark::State& state) {
    tollix::MessageCodec codec;
    for (auto _ : state) {
        tollix::NetMessage message;
        benchmark::DoNotOptimize(codec.Decode(message, kWorkedExample));
        benchmark::DoNotOptimize(message);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Decode);

}  // namespace
