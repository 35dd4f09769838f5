// Opening the conversation of a contact with 100,000 stored entries, as a double click
// does: from making the window to its first paint with the last 200 entries in view.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QTextEdit>

#include "core/tollix_app.h"
#include "history_fixtures.h"
#include "ui/conversation/dialog_view.h"
#include "ui/conversation/msg_frame.h"

namespace {

using namespace tollix;
using namespace tollix::bench;

void BM_OpenConversationOf100000(benchmark::State& state) {
    HistoryStore& store = LongHistory::Instance().store;
    CTollixApp app;
    Contact bob;
    bob.firstName = "Bob";
    bob.secondName = "Brown";
    bob.address = "10.0.0.1";
    std::vector<double> millis;
    bool complete = true;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        auto* window = new CMsgFrame(app);
        window->SetContact(&bob);
        window->ShowEarlierEntries(&store);
        PaintWatch watch;
        window->HistoryView()->viewport()->installEventFilter(&watch);
        window->show();
        while (!watch.painted) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        millis.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        complete = complete && window->HistoryView()->document()->blockCount() == 200 + 2;
        delete window;
    }
    if (!complete) {
        state.SkipWithError("the window did not show 200 entries");
    }
    SetPercentiles(state, millis, "ms");
}
BENCHMARK(BM_OpenConversationOf100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
