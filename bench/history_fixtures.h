#pragma once

// What the history and widget benchmarks share: the application object, sample texts,
// percentiles, the first paint of a widget, and a history with 100,000 entries of one
// contact.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace tollix::bench {

// The store's timers and the conversation window need an application object, which the
// benchmark program lacks: a widget application, on the offscreen platform unless another
// one is asked for.
inline void EnsureApplication() {
    // The offscreen platform says for every window it shows that it cannot propagate size
    // hints; that says nothing about what is measured and would bury the figures.
    static const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.contains(QLatin1String("propagateSizeHints"))) {
                previous(type, context, message);
            }
        });
    static int argc = 1;
    static char name[] = "tollix-bench";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        new QApplication(argc, argv);  // lives until the program ends
    }
}

inline HistoryEntry Sample(int n, int contacts) {
    // About the length of a chat line; one in a hundred holds the word searched for.
    return {0,
            {},
            n % 3 == 0,
            "10.0.0." + QString::number(n % contacts + 1),
            "Bob",
            "Brown",
            "Ops",
            QString("Line %1: shall we meet at the usual place after lunch %2?")
                .arg(n)
                .arg(n / contacts % 100 == 0 ? "tomorrow" : "today")};
}

// Sets the median and the 99th percentile of the samples, in the samples' unit.
inline void SetPercentiles(benchmark::State& state, std::vector<double> samples, const char* unit) {
    if (samples.empty()) {
        return;
    }
    std::sort(samples.begin(), samples.end());
    state.counters[std::string("median_") + unit] = samples[samples.size() / 2];
    state.counters[std::string("p99_") + unit] = samples[samples.size() * 99 / 100];
    state.counters[std::string("max_") + unit] = samples.back();
}

// Notes the first paint of a widget.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        painted = painted || event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

// One contact with 100,000 entries, and as many of another, made once.
struct LongHistory {
    QTemporaryDir dir;
    HistoryStore store{dir.path()};
    static constexpr int kOfOneContact = 100'000;
    static constexpr int kContacts = 2;

    LongHistory() {
        store.Open();
        for (int n = 0; n < kOfOneContact * kContacts; ++n) {
            store.Add(Sample(n, kContacts), nullptr, {});
            if (n % 10'000 == 0) {
                store.Flush();
            }
        }
        store.Flush();
    }
    static LongHistory& Instance() {
        EnsureApplication();
        static LongHistory history;
        return history;
    }
};

}  // namespace tollix::bench
