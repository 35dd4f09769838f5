// The history store on real files in a temporary folder: storing one text in its own
// transaction (median and 99th percentile), a load of 2,000 texts a second for 20 seconds
// (all stored, and how long the longest waited to be shown), and the reads of a
// conversation whose contact has 100,000 entries: its last 200, and a search.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include "history_fixtures.h"

namespace {

using namespace tollix;
using namespace tollix::bench;

void BM_HistoryStoreOneText(benchmark::State& state) {
    EnsureApplication();
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    if (!store.Open()) {
        state.SkipWithError("the history store did not open");
        return;
    }
    std::vector<double> micros;
    int n = 0;
    bool stored = true;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        store.Add(Sample(n++, 20), nullptr,
                  [&stored](const HistoryEntry& entry) { stored = stored && entry.id > 0; });
        store.Flush();
        micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e3);
    }
    if (!stored) {
        state.SkipWithError("a text was not stored");
    }
    SetPercentiles(state, micros, "us");
}
BENCHMARK(BM_HistoryStoreOneText)->Unit(benchmark::kMicrosecond);

// Texts arrive through a timer at 2,000 a second, as a flood of datagrams would hand them
// over; each is stored and handed back through the event loop as in the programs.
void BM_HistoryLoad2000TextsASecond(benchmark::State& state) {
    EnsureApplication();
    const qint64 seconds = state.range(0);
    constexpr qint64 kPerSecond = 2000;
    constexpr int kContacts = 50;
    for (auto _ : state) {
        QTemporaryDir dir;
        HistoryStore store(dir.path());
        if (!store.Open()) {
            state.SkipWithError("the history store did not open");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        std::vector<double> waitedMs;
        int added = 0;
        int stored = 0;
        QTimer arrivals;
        arrivals.setTimerType(Qt::PreciseTimer);
        QObject::connect(&arrivals, &QTimer::timeout, [&] {
            const qint64 due = std::min(clock.elapsed(), seconds * 1000) * kPerSecond / 1000;
            for (; added < due; ++added) {
                const qint64 arrived = clock.nsecsElapsed();
                store.Add(Sample(added, kContacts), nullptr, [&, arrived](const HistoryEntry& e) {
                    stored += e.id > 0 ? 1 : 0;
                    waitedMs.push_back(static_cast<double>(clock.nsecsElapsed() - arrived) / 1e6);
                });
            }
        });
        arrivals.start(1);
        while (waitedMs.size() < static_cast<std::size_t>(seconds * kPerSecond)) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        arrivals.stop();
        int kept = 0;
        for (int contact = 0; contact < kContacts; ++contact) {
            kept +=
                static_cast<int>(store.Last(Sample(contact, kContacts).address, 1 << 30).size());
        }
        if (stored != added || kept != added) {
            state.SkipWithError("not every text was stored");
        }
        state.counters["texts_stored"] = kept;
        SetPercentiles(state, waitedMs, "ms_to_shown");
    }
}
BENCHMARK(BM_HistoryLoad2000TextsASecond)
    ->Arg(20)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

void BM_HistoryLast200Of100000(benchmark::State& state) {
    HistoryStore& store = LongHistory::Instance().store;
    for (auto _ : state) {
        if (store.Last("10.0.0.1", 200).size() != 200) {
            state.SkipWithError("the last 200 entries were not read");
        }
    }
}
BENCHMARK(BM_HistoryLast200Of100000)->Unit(benchmark::kMillisecond);

// A word in one entry of a hundred, and one in the others.
void BM_HistorySearchIn100000(benchmark::State& state) {
    HistoryStore& store = LongHistory::Instance().store;
    const bool rare = state.range(0) == 1;
    const qsizetype hits = LongHistory::kOfOneContact / 100 * (rare ? 1 : 99);
    for (auto _ : state) {
        if (store.Search("10.0.0.1", rare ? "tomor" : "today").size() != hits) {
            state.SkipWithError("the search missed hits");
        }
    }
    state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK(BM_HistorySearchIn100000)->Arg(1)->Arg(99)->Unit(benchmark::kMillisecond);

}  // namespace
