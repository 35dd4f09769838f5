// The contact tree's filter with 20,000 contacts, as the main window has them: a key press
// in the filter field, from the key to the first paint of the narrowed tree.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <random>

#include "core/contact_list.h"
#include "core/unread_contacts_model.h"
#include "history_fixtures.h"
#include "ui/mainframe/tollix_view.h"

namespace {

using namespace tollix;
using namespace tollix::bench;

constexpr int kContacts = 20'000;
constexpr int kGroups = 40;

// Names made of syllables, so that a letter typed matches some of them and not others.
std::string Name(std::mt19937& random) {
    static const char* const kSyllables[] = {"an", "bo", "ca", "de", "el", "fi", "go", "ha",
                                             "in", "jo", "ka", "li", "mo", "ne", "ol", "pa",
                                             "qu", "ri", "sa", "tu", "ul", "vi", "wa", "ye"};
    std::string name;
    for (int n = 0; n < 3; ++n) {
        name += kSyllables[random() % std::size(kSyllables)];
    }
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

void BM_FilterTwentyThousandContacts(benchmark::State& state) {
    EnsureApplication();
    ContactList contacts;
    std::mt19937 random(5);
    for (int n = 0; n < kContacts; ++n) {
        NetMessage online;
        online.msgType = MSGTYPE_ONLINE;
        online.from = "10." + std::to_string(n / 62500) + "." + std::to_string(n / 250 % 250) +
                      "." + std::to_string(n % 250 + 1);
        online.body = "|FIRSTNAME=" + Name(random) + "|SECONDNAME=" + Name(random) +
                      "|GROUP=Department " + std::to_string(n % kGroups) + "|";
        contacts.OnIncomingMessage(online);
    }
    UnreadContactsModel unread(contacts);
    // The main window's pane: the field above the tree, wired as the main window wires it.
    QWidget pane;
    auto* layout = new QVBoxLayout(&pane);
    auto* field = new QLineEdit(&pane);
    auto* tree = new CTollixView(unread, &pane);
    layout->addWidget(field);
    layout->addWidget(tree);
    QObject::connect(field, &QLineEdit::textChanged, tree, &CTollixView::SetFilter);
    pane.resize(200, 800);
    pane.show();
    QCoreApplication::processEvents();

    std::vector<double> millis;
    int shown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        field->clear();
        QCoreApplication::processEvents();
        PaintWatch watch;
        tree->viewport()->installEventFilter(&watch);
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier, QStringLiteral("k"));
        QCoreApplication::sendEvent(field, &press);
        while (!watch.painted) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        millis.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        shown = tree->Filter().rowCount();
        tree->viewport()->removeEventFilter(&watch);
    }
    if (tree->Filter().Filter() != QStringLiteral("k") || shown == 0) {
        state.SkipWithError("the key press did not narrow the tree");
    }
    SetPercentiles(state, millis, "ms");
}
BENCHMARK(BM_FilterTwentyThousandContacts)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
