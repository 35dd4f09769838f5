// Runs every benchmark, then prints the figures that the targets are stated in: routing
// cost as a multiple of one Decode, the growth from 10,000 to 20,000 new peers, and the
// time to open a conversation with 100,000 stored entries.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            nanoseconds_[run.benchmark_name()] =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Nanoseconds(const std::string& name) const {
        const auto found = nanoseconds_.find(name);
        return found == nanoseconds_.end() ? 0 : found->second;
    }

private:
    std::map<std::string, double> nanoseconds_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double decode = reporter.Nanoseconds("BM_DecodeOnline");
    const double handle = reporter.Nanoseconds("BM_HandleOnlineFromListedContact");
    const double tenThousand =
        reporter.Nanoseconds("BM_NewPeersAnsweringAnnouncement/10000/iterations:5");
    const double twentyThousand =
        reporter.Nanoseconds("BM_NewPeersAnsweringAnnouncement/20000/iterations:5");
    std::printf("\n");
    if (decode > 0 && handle > 0) {
        std::printf(
            "HandleDatagram of a new ONLINE from a listed contact: %.0f ns = %.2f x Decode "
            "(%.0f ns); target at most 3 x\n",
            handle, handle / decode, decode);
    }
    if (tenThousand > 0 && twentyThousand > 0) {
        std::printf(
            "New peers answering one announcement: 10,000 in %.1f ms, 20,000 in %.1f ms "
            "= %.2f x; target at most 2.5 x\n",
            tenThousand / 1e6, twentyThousand / 1e6, twentyThousand / tenThousand);
    }
    const double open = reporter.Nanoseconds("BM_OpenConversationOf100000/real_time");
    if (open > 0) {
        std::printf(
            "Opening a conversation with 100,000 stored entries, shown with its last 200: "
            "%.1f ms on average; target under 100 ms\n",
            open / 1e6);
    }
    return 0;
}
