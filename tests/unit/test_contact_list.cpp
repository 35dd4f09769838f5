// The contact list model: what each message does to it, the order of groups and contacts,
// and the model's consistency under long random sequences (checked by Qt's model tester
// and against a plain reference).
#include <QAbstractItemModelTester>
#include <QtTest>
#include <map>
#include <random>
#include <set>

#include "core/contact_list.h"
#include "core/memory_private_store.h"
#include "core/unread_contacts_model.h"
#include "core/window_opening_limit.h"
#include "core_harness.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

NetMessage From(const std::string& address, int type, const std::string& first,
                const std::string& last = "", const std::string& group = "Ops",
                bool withClient = true) {
    NetMessage message;
    message.msgType = type;
    message.from = address;
    message.body = "|";
    if (withClient) {
        message.body += "CLIENT=Tollix v.1.2.0|";
    }
    message.body += "FIRSTNAME=" + first + "|SECONDNAME=" + last + "|GROUP=" + group + "|";
    return message;
}

// Holds the contacts at the addresses it is given, or every contact.
struct FakeKeeper : ContactKeeper {
    std::set<std::string> holding;
    bool all = false;
    bool Holds(const Contact& contact) const override {
        return all || holding.contains(contact.address);
    }
    bool KeepsAfterFarewell(const Contact&) const override { return false; }
};

// The tree as text: "group[a,b]group2[c]".
QString Tree(const ContactList& list) {
    QString tree;
    for (int g = 0; g < list.rowCount(); ++g) {
        const QModelIndex group = list.index(g, 0);
        tree += group.data().toString() + "[";
        for (int c = 0; c < list.rowCount(group); ++c) {
            tree += (c ? "," : "") + list.index(c, 0, group).data().toString();
        }
        tree += "]";
    }
    return tree;
}

}  // namespace

class ContactListTest : public QObject {
    Q_OBJECT

private slots:
    void orderOfGroupsAndContacts() {
        ContactList list;
        QAbstractItemModelTester tester(&list);
        list.OnIncomingMessage(From("10.0.0.1", MSGTYPE_ONLINE, "zoe", "", "Ops"));
        list.OnIncomingMessage(From("10.0.0.2", MSGTYPE_ONLINE, "Ann", "Lee", "Dev"));
        list.OnIncomingMessage(From("10.0.0.3", MSGTYPE_HELLO, "Zed", "", "ops"));
        list.OnIncomingMessage(From("10.0.0.4", MSGTYPE_ONLINE, "adam", "", "Ops"));
        // Groups in creation order, matched without regard to case, spelled as first seen;
        // contacts byte-wise, capitals first.
        QCOMPARE(Tree(list), "Ops[Zed,adam,zoe]Dev[Ann Lee]");
        QCOMPARE(list.ContactCount(), 6);
        QVERIFY(list.FindGroupItem("DEV").isValid());
        QCOMPARE(list.FindContact("10.0.0.2")->DisplayName(), "Ann Lee");
        QCOMPARE(list.index(0, 0).data(ContactList::PictureRole).toInt(), 2);
        QVERIFY(list.index(0, 0).data(ContactList::IsGroupRole).toBool());
    }

    void updatesKeepGroupAndReorder() {
        ContactList list;
        QAbstractItemModelTester tester(&list);
        list.OnIncomingMessage(From("10.0.0.1", MSGTYPE_ONLINE, "Bob", "", "Ops"));
        list.OnIncomingMessage(From("10.0.0.2", MSGTYPE_ONLINE, "Cid", "", "Ops"));
        list.OnIncomingMessage(From("10.0.0.3", MSGTYPE_AWAY, "Dan", "", "Ops"));
        const QModelIndex ops = list.FindGroupItem("Ops");
        QCOMPARE(list.index(2, 0, ops).data(ContactList::PictureRole).toInt(), 1);

        // A rename moves the item; a change of group leaves it where it is.
        list.OnIncomingMessage(From("10.0.0.1", MSGTYPE_TEXT, "Eve", "", "Dev", false));
        QCOMPARE(Tree(list), "Ops[Cid,Dan,Eve]");
        Contact* eve = list.FindContact("10.0.0.1");
        QCOMPARE(eve->groupName, "Dev");
        QCOMPARE(eve->client, "Tollix v.1.2.0");  // kept when a message carries none
        QCOMPARE(list.IndexOf(*eve), list.index(2, 0, ops));

        int updates = 0;
        connect(&list, &ContactList::contactUpdated, this, [&] { ++updates; });
        list.OnIncomingMessage(From("10.0.0.3", MSGTYPE_TEXT, "Dan", "", "Ops", false));
        QCOMPARE(list.index(1, 0, ops).data(ContactList::PictureRole).toInt(), 0);
        QCOMPARE(list.FindContact("10.0.0.3")->presence, PresenceState::Online);
        list.OnIncomingMessage(From("10.0.0.3", MSGTYPE_ONLINE, "Dan", "", "Ops"));
        QCOMPARE(updates, 1);  // the second message changed nothing
    }

    void farewellsRemoveContactsAndEmptyGroups() {
        ContactList list;
        QAbstractItemModelTester tester(&list);
        std::vector<std::pair<std::string, PresenceState>> updates;
        connect(&list, &ContactList::contactUpdated, this,
                [&](Contact& contact) { updates.emplace_back(contact.address, contact.presence); });
        list.OnIncomingMessage(From("10.0.0.9", MSGTYPE_OFFLINE, "Nobody"));
        QCOMPARE(list.ContactCount(), 0);
        QVERIFY(updates.empty());

        list.OnIncomingMessage(From("10.0.0.1", MSGTYPE_ONLINE, "Bob", "", "Ops"));
        list.OnIncomingMessage(From("10.0.0.2", MSGTYPE_ONLINE, "Cid", "", "Ops"));
        list.OnIncomingMessage(From("10.0.0.3", MSGTYPE_ONLINE, "Dan", "", "Dev"));
        list.OnIncomingMessage(From("10.0.0.1", MSGTYPE_OFFLINE, "Bob", "", "Ops"));
        QCOMPARE(Tree(list), "Ops[Cid]Dev[Dan]");
        // The farewell of the group's last contact takes the group along, even when it
        // names another group.
        list.OnIncomingMessage(From("10.0.0.2", MSGTYPE_OFFLINE, "Cid", "", "Elsewhere"));
        QCOMPARE(Tree(list), "Dev[Dan]");
        QCOMPARE(updates.back(), std::make_pair(std::string("10.0.0.2"), PresenceState::Offline));

        list.ClearContacts();
        QCOMPARE(list.ContactCount(), 0);
        QCOMPARE(updates.back(), std::make_pair(std::string("10.0.0.3"), PresenceState::Offline));
    }

    void messagesWithoutNames() {
        ContactList list;
        NetMessage bare;
        bare.msgType = 9;
        bare.from = "10.0.0.7";
        list.OnIncomingMessage(bare);
        QCOMPARE(Tree(list), "[]");
        const Contact* contact = list.FindContact("10.0.0.7");
        QCOMPARE(contact->client, "unknown");
        QCOMPARE(contact->presence, PresenceState::Online);
        QCOMPARE(contact->DisplayName(), "");
        QVERIFY(list.FindContact("10.0.0.70") == nullptr);
    }

    void fullListReplacesTheContactHeardLeastRecently() {
        CoreHarness h;
        std::FILE* log = std::tmpfile();
        h.app.Contacts().SetRefusalLog(log);
        h.AddTunnel("far", 11);
        h.Connect();
        ContactList& list = h.app.Contacts();
        FakeKeeper keeper;
        list.SetKeeper(&keeper);
        const auto address = [](std::size_t i) {
            return "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250);
        };
        for (std::size_t i = 0; i < ContactList::kMaxContacts; ++i) {
            list.OnIncomingMessage(From(address(i), MSGTYPE_ONLINE, "P" + std::to_string(i)));
        }
        const int full = list.ContactCount();
        QCOMPARE(full, static_cast<int>(ContactList::kMaxContacts) + 1);

        // A stranger is counted, relayed and answered, and takes the place of the contact
        // heard least recently that holds nothing: not 0 and 2 (held), not 1 (heard again),
        // not 3 (its security code is pinned).
        keeper.holding = {address(0), address(2)};
        MemoryPrivateStore pins;
        pins.SavePin({address(3), "C"});
        h.app.Private().SetStores(pins, pins);
        list.OnIncomingMessage(From(address(1), MSGTYPE_AWAY, "P1"));
        h.FromGroup(Envelope(MSGTYPE_HELLO, 1), "10.2.0.1");
        QVERIFY(list.FindContact("10.2.0.1") && !list.FindContact(address(4)));
        QVERIFY(list.FindContact(address(0)) && list.FindContact(address(1)) &&
                list.FindContact(address(2)) && list.FindContact(address(3)));
        QCOMPARE(h.app.Stats().processedPackets, 1);
        QCOMPARE(h.tunnel.sent.size(), std::size_t{1});
        QCOMPARE(h.multicast.SentOfType(MSGTYPE_ONLINE).size(), std::size_t{1});

        // With every contact held, a stranger is not listed, until one is reconsidered; and
        // a farewell makes room.
        keeper.all = true;
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 2), "10.2.0.2");
        keeper.all = false;
        list.Reconsider(address(9));
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 3), "10.2.0.3");
        QVERIFY(!list.FindContact("10.2.0.2") && !list.FindContact(address(9)) &&
                list.FindContact(address(8)));
        h.FromGroup(Envelope(MSGTYPE_OFFLINE, 4), address(7));
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 5), "10.2.0.4");
        QVERIFY(list.FindContact("10.2.0.3") && list.FindContact("10.2.0.4"));
        QCOMPARE(list.ContactCount(), full);
        for (int n = 0; n < 9; ++n) {  // 10 places a second at most
            h.FromGroup(Envelope(MSGTYPE_ONLINE, 10 + n), "10.3.0." + std::to_string(n));
        }
        QVERIFY(list.FindContact("10.3.0.7") && !list.FindContact("10.3.0.8"));

        // One line at once, the rest counted into the next line 30 s later.
        h.clock.now += 30;
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 6), "10.2.0.5");
        const QString logged = ReadLog(log);
        QCOMPARE(logged.count(QChar(10)), 2);
        QVERIFY(
            logged.contains("tollix: contact list full (20000 contacts), 10.1.0.4 heard "
                            "least recently makes room for 10.2.0.1\n"));
        QVERIFY(logged.contains("makes room for 10.2.0.5 (11 more since the last line)\n"));
        std::fclose(log);
    }

    // Unread texts as the tree shows them: the count after the name, in bold, kept for
    // contacts that are not listed until they are back.
    void unreadMarksInTheTree() {
        ContactList list;
        UnreadContactsModel tree(list);
        QAbstractItemModelTester tester(&tree,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        int changes = 0;
        connect(&tree, &UnreadContactsModel::unreadChanged, this, [&] { ++changes; });
        QList<QModelIndex> changed;
        connect(&tree, &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex& first) { changed << first; });
        list.OnIncomingMessage(From("10.0.0.1", MSGTYPE_ONLINE, "Bob", "", "Ops"));
        list.OnIncomingMessage(From("10.0.0.2", MSGTYPE_ONLINE, "Cid", "", "Ops"));
        tree.SetCounts({{"10.0.0.1", 2}, {"10.0.0.9", 4}, {"10.0.0.3", 0}});
        const QModelIndex ops = tree.index(0, 0);
        const QModelIndex bob = tree.index(0, 0, ops);
        QCOMPARE(bob.data().toString(), "Bob (2)");
        QCOMPARE(bob.data(UnreadContactsModel::UnreadRole).toInt(), 2);
        QVERIFY(bob.data(UnreadContactsModel::BoldRole).toBool());
        QVERIFY(ops.data(UnreadContactsModel::BoldRole).toBool());
        QCOMPARE(ops.data().toString(), "Ops");
        QVERIFY(!tree.index(1, 0, ops).data(UnreadContactsModel::BoldRole).toBool());
        QCOMPARE(tree.index(1, 0, ops).data().toString(), "Cid");
        QCOMPARE(tree.ContactAt(bob), list.FindContact("10.0.0.1"));
        QCOMPARE(tree.ContactAt(ops), nullptr);
        QCOMPARE(tree.Total(), 6);

        tree.Add("10.0.0.9");
        QCOMPARE(tree.Count("10.0.0.9"), 5);
        list.OnIncomingMessage(From("10.0.0.9", MSGTYPE_ONLINE, "Nia", "", "Ops"));
        QCOMPARE(Tree(list), "Ops[Bob,Cid,Nia]");
        QCOMPARE(tree.index(2, 0, ops).data().toString(), "Nia (5)");

        changed.clear();
        tree.Clear("10.0.0.1");
        QCOMPARE(changed, QList<QModelIndex>{bob});
        QCOMPARE(bob.data().toString(), "Bob");
        QVERIFY(!bob.data(UnreadContactsModel::BoldRole).toBool());
        QCOMPARE(tree.Total(), 5);
        tree.Clear("10.0.0.1");  // nothing left to clear
        QCOMPARE(changes, 3);

        // Bounded: a full table forgets a contact that is not listed, never a listed one.
        for (int n = 0; n < UnreadContactsModel::kMaxAddresses + 5; ++n) {
            tree.Add("10.9." + std::to_string(n / 250) + "." + std::to_string(n % 250));
        }
        QCOMPARE(tree.Count("10.0.0.9"), 5);  // Nia's, and one each of the newest others
        QCOMPARE(tree.Total(), static_cast<int>(UnreadContactsModel::kMaxAddresses) - 1 + 5);
    }

    // At most 10 windows opened by texts wait untouched at any time, however slowly they come.
    void windowOpeningsAreLimited() {
        WindowOpeningLimit limit;
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(limit.TryOpen("10.0.0." + std::to_string(i)), i < 10);
        }
        QVERIFY(limit.TryOpen("10.0.0.3"));  // one that waits already
        limit.Release("10.0.0.3");
        limit.Release("10.0.0.11");  // never counted
        QVERIFY(limit.TryOpen("10.0.0.11"));
        QVERIFY(!limit.TryOpen("10.0.0.3"));
    }

    void sortedRowsMatchAReference() {
        // Enough rows for the chunks to split and empty out again.
        struct Less {
            bool operator()(const std::pair<int, int>& a, const std::pair<int, int>& b) const {
                return a.first < b.first;  // the second member tells equal keys apart
            }
        };
        SortedRows<std::pair<int, int>, Less> rows;
        std::vector<std::pair<int, int>> reference;
        std::mt19937 random(11);
        for (int step = 0; step < 20000; ++step) {
            if (reference.empty() || random() % 3 != 0) {
                const std::pair<int, int> value{static_cast<int>(random() % 500), step};
                const auto place =
                    std::upper_bound(reference.begin(), reference.end(), value, Less{});
                const auto expectedRow = static_cast<std::size_t>(place - reference.begin());
                reference.insert(place, value);
                QCOMPARE(rows.Insert(value), expectedRow);
            } else {
                const std::size_t row = random() % reference.size();
                QCOMPARE(rows.Take(row), reference[row]);
                reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(row));
            }
        }
        QCOMPARE(rows.size(), reference.size());
        for (std::size_t row = 0; row < reference.size(); row += 7) {
            QCOMPARE(rows.At(row), reference[row]);
            const auto isIt = [&](const std::pair<int, int>& v) { return v == reference[row]; };
            QCOMPARE(rows.FindRow(reference[row], isIt), row);
        }
    }

    void staysConsistentUnderRandomTraffic() {
        ContactList list;
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::map<std::string, std::pair<std::string, std::string>>
            reference;  // address -> group, name
        std::mt19937 random(7);
        const auto pick = [&](int n) {
            return std::uniform_int_distribution<int>(0, n - 1)(random);
        };
        const std::vector<std::string> names{"al", "Al", "bo", "Bo", "cy", "", "Al x", "al"};
        for (int step = 0; step < 3000; ++step) {
            const std::string address =
                "10.0." + std::to_string(pick(3)) + "." + std::to_string(pick(300));
            const int types[] = {MSGTYPE_OFFLINE, MSGTYPE_ONLINE, MSGTYPE_AWAY, MSGTYPE_TEXT};
            const int type = types[pick(4)];
            const std::string first =
                names[static_cast<std::size_t>(pick(8))] + std::to_string(pick(40));
            const std::string group = std::string(1, static_cast<char>('A' + pick(4)));
            list.OnIncomingMessage(From(address, type, first, "", group));
            if (type == MSGTYPE_OFFLINE) {
                reference.erase(address);
            } else if (!reference.contains(address)) {
                reference[address] = {group, first};
            } else {
                reference[address].second = first;
            }
        }
        // Every contact sits in its first group, every group is in order and holds exactly
        // the contacts of the reference.
        QCOMPARE(list.Contacts().size(), reference.size());
        std::size_t listed = 0;
        for (int g = 0; g < list.rowCount(); ++g) {
            const QModelIndex group = list.index(g, 0);
            QVERIFY(list.rowCount(group) > 0);
            std::string previous;
            int online = 0;  // the group's count beside its name
            for (int c = 0; c < list.rowCount(group); ++c) {
                const QModelIndex item = list.index(c, 0, group);
                const Contact* contact = list.ContactAt(item);
                online += contact->presence == PresenceState::Online ? 1 : 0;
                const std::string text = item.data().toString().toStdString();
                QVERIFY(c == 0 || previous <= text);
                previous = text;
                QCOMPARE(text, reference.at(contact->address).second);
                QCOMPARE(group.data().toString().toStdString(),
                         reference.at(contact->address).first);
                QCOMPARE(list.IndexOf(*contact), item);
                ++listed;
            }
            QCOMPARE(group.data(ContactList::GroupCountsRole).toPoint(),
                     QPoint(online, list.rowCount(group)));
        }
        QCOMPARE(listed, reference.size());
    }
};

QTEST_GUILESS_MAIN(ContactListTest)
#include "test_contact_list.moc"
