// Routing in process, with channels that send nowhere: the cost of a datagram from a
// listed contact next to one Decode of the same envelope, the growth with the number of
// peers answering one announcement, and the rate at which duplicates are dropped.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "core/tollix_app.h"
#include "net/local_addresses.h"

namespace {

using namespace tollix;

// Sends nowhere; knows the machine's real addresses, as the real channel does.
class SilentMulticast : public MulticastChannel {
public:
    bool JoinGroup(const std::string&, std::uint16_t, int, int) override { return true; }
    bool LeaveGroup() override { return true; }
    bool SendToGroup(const char*, std::size_t) override { return true; }
    int GetLocalAddresses(std::vector<std::string>& addresses) override {
        const std::vector<std::string> local = ReadLocalAddresses();
        addresses.insert(addresses.end(), local.begin(), local.end());
        return static_cast<int>(local.size());
    }
    bool IsLocalAddress(std::string_view address) override { return cache_.Contains(address); }

private:
    LocalAddressCache cache_;
};

class SilentTunnel : public TunnelChannel {
public:
    bool OpenChannel(std::uint16_t) override { return true; }
    bool CloseChannel() override { return true; }
    bool SendToHost(const std::string&, std::uint16_t, const char*, std::size_t) override {
        return true;
    }
};

struct Router {
    SilentMulticast multicast;
    SilentTunnel tunnel;
    CTollixApp app{multicast, tunnel, SystemClock::Instance()};
    Router() { app.Alerts().SetSurplusLog(nullptr); }
};

std::string OnlineEnvelope(std::int32_t id, const std::string& first) {
    NetMessage message;
    MessageCodec().Build(MSGTYPE_ONLINE, message, {}, {first, "Example", "Other Contacts"});
    message.id = id;
    return MessageCodec::EnvelopeText(message);
}

// Distinct IDs, more than the duplicate window holds, so that every datagram is new.
std::vector<std::string> OnlineEnvelopes(const std::string& first) {
    std::vector<std::string> envelopes;
    for (std::int32_t id = 1; id <= 1000; ++id) {
        envelopes.push_back(OnlineEnvelope(id, first));
    }
    return envelopes;
}

void BM_DecodeOnline(benchmark::State& state) {
    const std::vector<std::string> envelopes = OnlineEnvelopes("Bob");
    const MessageCodec codec;
    std::size_t next = 0;
    for (auto _ : state) {
        NetMessage message;
        benchmark::DoNotOptimize(codec.Decode(message, envelopes[next]));
        benchmark::DoNotOptimize(message);
        next = (next + 1) % envelopes.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeOnline);

void BM_HandleOnlineFromListedContact(benchmark::State& state) {
    const std::vector<std::string> envelopes = OnlineEnvelopes("Bob");
    Router router;
    router.app.HandleDatagram(OnlineEnvelope(5000, "Bob"), "10.20.30.40", 2030, true);
    std::size_t next = 0;
    for (auto _ : state) {
        router.app.HandleDatagram(envelopes[next], "10.20.30.40", 2030, true);
        next = (next + 1) % envelopes.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HandleOnlineFromListedContact);

void BM_NewPeersAnsweringAnnouncement(benchmark::State& state) {
    const auto peers = static_cast<int>(state.range(0));
    std::vector<std::string> envelopes;
    std::vector<std::string> senders;
    for (int i = 0; i < peers; ++i) {
        // Names in no particular order, all in one group: the costliest case for ordering.
        const unsigned scrambled = static_cast<unsigned>(i) * 2654435761u;
        envelopes.push_back(OnlineEnvelope(i + 1, "Peer" + std::to_string(scrambled)));
        senders.push_back("10." + std::to_string(i / 65536 + 1) + "." +
                          std::to_string(i / 256 % 256) + "." + std::to_string(i % 256));
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto router = std::make_unique<Router>();
        state.ResumeTiming();
        for (int i = 0; i < peers; ++i) {
            router->app.HandleDatagram(envelopes[static_cast<std::size_t>(i)],
                                       senders[static_cast<std::size_t>(i)], 2030, true);
        }
        state.PauseTiming();
        if (router->app.Contacts().ContactCount() != peers + 1) {
            state.SkipWithError("not every peer was listed");
        }
        router.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * peers);
}
BENCHMARK(BM_NewPeersAnsweringAnnouncement)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_DuplicateDropped(benchmark::State& state) {
    Router router;
    const std::string envelope = OnlineEnvelope(77, "Bob");
    router.app.HandleDatagram(envelope, "10.20.30.40", 2030, true);
    for (auto _ : state) {
        router.app.HandleDatagram(envelope, "10.20.30.40", 2030, true);
    }
    if (router.app.Stats().processedPackets != 1) {
        state.SkipWithError("a duplicate was not dropped");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DuplicateDropped);

}  // namespace
