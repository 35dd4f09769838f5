// Feeds arbitrary datagrams to routing, with fake channels and a fresh application object
// per input. An input is a sequence of datagrams separated by 0xFF bytes; the first byte of
// each says where it comes from (group or tunnel, and which sender, this copy included).
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../unit/fakes.h"
#include "core/tollix_app.h"

namespace {

constexpr const char* kSenders[] = {"10.0.0.5", "10.0.0.9", "10.8.0.1", "192.168.1.1"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tollix;
    testing::FakeClock clock;
    testing::FakeMulticast multicast;
    testing::FakeTunnel tunnel;
    CTollixApp app(multicast, tunnel, clock);
    app.Alerts().SetSurplusLog(nullptr);
    app.Settings().tunnels.push_back(AppSettings::MakeTunnelEntry("far"));
    app.SetConnected(true);

    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (!input.empty()) {
        const std::size_t end = std::min(input.find('\xFF'), input.size());
        std::string_view datagram = input.substr(0, end);
        input.remove_prefix(std::min(end + 1, input.size()));
        if (datagram.empty()) {
            continue;
        }
        const auto flags = static_cast<unsigned char>(datagram.front());
        datagram.remove_prefix(1);
        datagram = datagram.substr(0, datagram.find('\0'));  // what a channel hands on
        app.HandleDatagram(datagram, kSenders[(flags >> 1) & 3], 2030, (flags & 1) != 0);
        if ((flags & 0x10) != 0) {
            app.GoAway();
        }
        if ((flags & 0x20) != 0) {
            clock.now += 400;
            app.OnUserActivity();
        }
    }
    app.SetConnected(false);
    return 0;
}
