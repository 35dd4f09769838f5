// The wire protocol: envelope writing and reading, building messages, text safety and the
// field primitives, checked against the byte-exact examples of the protocol.
#include <QtTest>
#include <random>
#include <set>

#include "protocol/body_keys.h"
#include "protocol/message_codec.h"
#include "protocol/random_id.h"
#include "protocol/text.h"
#include "protocol/text_safety.h"

using namespace tollix;

namespace {

const UserIdentity kAnn{"Ann", "Lee", "Dev"};
constexpr std::string_view kAnnToBob =
    "<<<|*TOLLIX*|3|ID=4711|MSGTYPE=4|FROM=:0|FIRSTNAME=Ann|SECONDNAME=Lee|GROUP=Dev"
    "|TO=10.0.0.7|TEXT=hello|>>>";
constexpr std::string_view kAnnToBobRelayed =
    "<<<|*TOLLIX*|3|ID=4711|MSGTYPE=4|FROM=10.0.0.5:3012|TO=10.0.0.7|TUNNEL=17"
    "|FIRSTNAME=Ann|SECONDNAME=Lee|GROUP=Dev|TEXT=hello|>>>";

NetMessage Header(std::int32_t id, std::int32_t type) {
    NetMessage message;
    message.SetMagic("*TOLLIX*");
    message.version = 3;
    message.id = id;
    message.msgType = type;
    return message;
}

std::string Encoded(const NetMessage& message) {
    return MessageCodec::EnvelopeText(message);
}

NetMessage Decoded(std::string_view text) {
    NetMessage message;
    if (!MessageCodec().Decode(message, text)) {
        qFatal("rejected: %.*s", static_cast<int>(text.size()), text.data());
    }
    return message;
}

// A well-formed envelope of exactly `size` characters, padded inside its body.
std::string EnvelopeOfSize(std::size_t size) {
    NetMessage message = Header(1, MSGTYPE_TEXT);
    message.body = "|TEXT=";
    // "|TEXT=" is followed by "|>>>"; the padding goes between them.
    message.body += std::string(size - Encoded(message).size(), 'x') + "|";
    return Encoded(message);
}

}  // namespace

class ProtocolTest : public QObject {
    Q_OBJECT

private slots:
    void workedExampleBothWays() {
        MessageCodec codec;
        NetMessage sent;
        QVERIFY(codec.Build(MSGTYPE_TEXT, sent, "TO=10.0.0.7|TEXT=hello", kAnn));
        QCOMPARE(sent.body, "FIRSTNAME=Ann|SECONDNAME=Lee|GROUP=Dev|TO=10.0.0.7|TEXT=hello");
        sent.id = 4711;

        DatagramBuffer buffer;
        std::size_t length = 0;
        QVERIFY(codec.Encode(sent, buffer, length));
        QCOMPARE(length, std::size_t{107});
        QCOMPARE(std::string_view(buffer.data(), 106), kAnnToBob);
        QCOMPARE(buffer[106], '\0');

        NetMessage received = Decoded(kAnnToBob);
        QCOMPARE(received.Magic(), "*TOLLIX*");
        QCOMPARE(received.version, 3);
        QCOMPARE(received.id, 4711);
        QCOMPARE(received.msgType, MSGTYPE_TEXT);
        QCOMPARE(received.from, "");
        QCOMPARE(received.fromPort, 0);
        QCOMPARE(received.to, "10.0.0.7");
        QCOMPARE(received.tunnel, 0);
        QCOMPARE(received.body, "|FIRSTNAME=Ann|SECONDNAME=Lee|GROUP=Dev|TEXT=hello|");

        // A relay fills in the sender and stamps the tunnel: TO moves into the header.
        received.from = "10.0.0.5";
        received.fromPort = 3012;
        received.tunnel = 17;
        QCOMPARE(Encoded(received), kAnnToBobRelayed);
        NetMessage relayed = Decoded(kAnnToBobRelayed);
        QCOMPARE(relayed, received);
    }

    void encoderFieldsAndEndMarker_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("tunnel");
        QTest::addColumn<QString>("expected");
        const QString head = "<<<|*TOLLIX*|3|ID=12|MSGTYPE=0|FROM=:0";
        QTest::newRow("no body") << ""
                                 << "" << 0 << head + "|>>>";
        QTest::newRow("body ending with |") << "|A=1|"
                                            << "" << 0 << head + "|A=1|>>>";
        QTest::newRow("body without |") << "A=1"
                                        << "" << 0 << head + "|A=1|>>>";
        QTest::newRow("to and tunnel") << ""
                                       << "10.0.0.7" << 5 << head + "|TO=10.0.0.7|TUNNEL=5|>>>";
        QTest::newRow("negative tunnel") << ""
                                         << "" << -5 << head + "|TUNNEL=-5|>>>";
    }
    void encoderFieldsAndEndMarker() {
        QFETCH(QString, body);
        QFETCH(QString, to);
        QFETCH(int, tunnel);
        QFETCH(QString, expected);
        NetMessage message = Header(12, MSGTYPE_OFFLINE);
        message.body = body.toStdString();
        message.to = to.toStdString();
        message.tunnel = tunnel;
        QCOMPARE(QString::fromStdString(Encoded(message)), expected);
    }

    void envelopeLengthLimit() {
        MessageCodec codec;
        DatagramBuffer buffer;
        std::size_t length = 0;
        // The longest envelope that arrives whole has 31999 characters and its NUL.
        NetMessage longest = Decoded(EnvelopeOfSize(31999));
        codec.Encode(longest, buffer, length);
        QCOMPARE(length, std::size_t{32000});
        QCOMPARE(buffer[31999], '\0');
        QVERIFY(codec.Decode(longest, std::string_view(buffer.data(), 31999)));

        NetMessage tooLong = Decoded(EnvelopeOfSize(32000));
        codec.Encode(tooLong, buffer, length);
        QCOMPARE(length, std::size_t{32000});
        QCOMPARE(buffer[31999], '>');
    }

    void acceptanceRules_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("minimal") << QByteArray("<<<|>>>") << true;
        QTest::newRow("markers only") << QByteArray("<<<>>>") << true;
        QTest::newRow("leading blank") << QByteArray(" <<<|*TOLLIX*|3|>>>") << false;
        QTest::newRow("no start") << QByteArray("<<|*TOLLIX*|3|>>>") << false;
        QTest::newRow("no end") << QByteArray("<<<|*TOLLIX*|3|") << false;
        QTest::newRow("end not last") << QByteArray("<<<|*TOLLIX*|3|>>> ") << false;
        QTest::newRow(">>> inside") << QByteArray("<<<|A>>>B|>>>") << false;
        QTest::newRow("four >") << QByteArray("<<<|A|>>>>") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("32000") << QByteArray::fromStdString(EnvelopeOfSize(32000)) << true;
        QTest::newRow("32001") << QByteArray::fromStdString(EnvelopeOfSize(32001)) << false;
    }
    void acceptanceRules() {
        QFETCH(QByteArray, text);
        QFETCH(bool, accepted);
        NetMessage message;
        message.body = "untouched";
        message.id = 99;
        const NetMessage before = message;
        QCOMPARE(MessageCodec().Decode(
                     message, std::string_view(text.data(), static_cast<std::size_t>(text.size()))),
                 accepted);
        if (!accepted) {
            QCOMPARE(message, before);
        }
    }

    void decoderReadsFieldsLeniently() {
        NetMessage trimmed = Decoded("<<<|*TOLLIX*| 3 |ID= 42 |MSGTYPE=2|FROM= 10.0.0.5 :2030|>>>");
        QCOMPARE(trimmed.version, 3);
        QCOMPARE(trimmed.id, 42);
        QCOMPARE(trimmed.from, "10.0.0.5");
        QCOMPARE(trimmed.fromPort, 2030);
        QCOMPARE(trimmed.tunnel, 0);  // no TUNNEL field
        QCOMPARE(trimmed.body, "");

        NetMessage odd = Decoded("<<<|*TOLLIX*LONGER|3|ID=7|MSGTYPE=x|FROM=a:b|>>>");
        QCOMPARE(odd.Magic(), "*TOLLIX*");  // cut to 8 characters
        QCOMPARE(odd.msgType, 0);
        QCOMPARE(odd.fromPort, 0);

        // A missing type reads as 0; -1 remains only in a rejected record.
        NetMessage untyped = Decoded("<<<|X|3|ID=7|>>>");
        QCOMPARE(untyped.msgType, 0);
        QCOMPARE(untyped.Magic(), "X");

        // Keyed fields are found anywhere, the body included, and lifted out of it.
        NetMessage keyed = Decoded("<<<|*TOLLIX*|3|ID=1|MSGTYPE=4|FROM=:0|A=1|TO=10.1.1.1|B=2|>>>");
        QCOMPARE(keyed.to, "10.1.1.1");
        QCOMPARE(keyed.body, "|A=1|B=2|");
    }

    void parseLongLikeAtol_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("blanks and digits") << " \t 12" << 12;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("minus") << "-5" << -5;
        QTest::newRow("trailing junk") << "12abc" << 12;
        QTest::newRow("no digits") << "abc" << 0;
        QTest::newRow("sign alone") << "-" << 0;
        QTest::newRow("blank after sign") << "- 5" << 0;
        QTest::newRow("wraps") << "4294967297" << 1;
        QTest::newRow("int max + 1") << "2147483648" << std::numeric_limits<int>::min();
        QTest::newRow("int min") << "-2147483648" << std::numeric_limits<int>::min();
    }
    void parseLongLikeAtol() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(ParseLong(text.toStdString()), value);
    }

    void extractBetweenKeepsEndDelimiter() {
        std::string text = "a|KEY= v1 |rest|";
        QCOMPARE(ExtractBetween(text, "|KEY=", "|"), "v1");
        QCOMPARE(text, "a|rest|");
        QCOMPARE(ExtractBetween(text, "|MISSING=", "|"), "");
        std::string unterminated = "a|KEY=v";
        QCOMPARE(ExtractBetween(unterminated, "|KEY=", "|"), "");
        QCOMPARE(unterminated, "a|KEY=v");

        // Reading body keys without cutting them out gives what cutting them out in turn
        // gives, also for bodies that repeat a key or hold an empty value.
        for (const std::string original :
             {"|FIRSTNAME= Ann |SECONDNAME=|GROUP=Dev|", "|GROUP=A|FIRSTNAME=B|GROUP=C|",
              "|SECONDNAME=x|FIRSTNAME=|FIRSTNAME=y|GROUP=", "|FIRSTNAMEFIRSTNAME=z|"}) {
            std::string cut = original;
            for (const std::string_view key : {body_key::kFirstName, body_key::kSecondName,
                                               body_key::kClient, body_key::kGroup}) {
                QCOMPARE(BodyValue(original, key), ExtractBetween(cut, key, "|"));
            }
        }
        QCOMPARE(BodyValue("|FIRSTNAME= Ann |", body_key::kFirstName), "Ann");
    }

    void buildFillsEachType() {
        MessageCodec codec;
        const std::string withClient =
            "CLIENT=Tollix v.1.2.0|FIRSTNAME=Ann|SECONDNAME=Lee|GROUP=Dev";
        for (const int type : {MSGTYPE_HELLO, MSGTYPE_ONLINE, MSGTYPE_AWAY}) {
            NetMessage message;
            codec.Build(type, message, {}, kAnn);
            QCOMPARE(message.body, withClient);
            // The encoder puts exactly one "|" before a body without one.
            QVERIFY(Encoded(message).find("|FROM=:0|CLIENT=") != std::string::npos);
        }
        NetMessage offline;
        codec.Build(MSGTYPE_OFFLINE, offline, {}, kAnn);
        QCOMPARE(offline.body, "FIRSTNAME=Ann|SECONDNAME=Lee|GROUP=Dev");

        for (const int type : {7, -1}) {
            NetMessage unknown;
            codec.Build(type, unknown, "TO=1|TEXT=x", kAnn);
            QCOMPARE(unknown.body, "");
            QCOMPARE(unknown.Magic(), "*TOLLIX*");
            QCOMPARE(unknown.version, 3);
            QCOMPARE(unknown.msgType, type);
            QCOMPARE(unknown.tunnel, 0);
            QCOMPARE(unknown.from, "");
            QVERIFY(unknown.id >= 0 && unknown.id <= 999999);
        }
    }

    void buildMakesIdentitySafe() {
        // A name holding a marker or the separator must not break the envelope.
        NetMessage message;
        MessageCodec().Build(MSGTYPE_HELLO, message, {}, {" A|B ", "x>>>y", "<<<G"});
        QCOMPARE(message.body, "CLIENT=Tollix v.1.2.0|FIRSTNAME= A_B |SECONDNAME=x>_>y|GROUP=<_<G");
        NetMessage received = Decoded(Encoded(message));
        QCOMPARE(BodyValue(received.body, body_key::kClient), "Tollix v.1.2.0");
        QCOMPARE(BodyValue(received.body, body_key::kFirstName), "A_B");
        QCOMPARE(BodyValue(received.body, body_key::kSecondName), "x>_>y");
        QCOMPARE(BodyValue(received.body, body_key::kGroup), "<_<G");
    }

    void textSafety_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("mixed") << "  a|b <<<x>>>  "
                               << "a_b <_<x>_>";
        QTest::newRow("four <") << "<<<<"
                                << "<_<<";
        QTest::newRow("six >") << ">>>>>>"
                               << ">_>>_>";
        QTest::newRow("blanks only") << " \t\r\n "
                                     << "";
        QTest::newRow("inner lines kept") << "\none\ntwo\n"
                                          << "one\ntwo";
    }
    void textSafety() {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        QCOMPARE(QString::fromStdString(MakeTextSafe(typed.toStdString())), sent);
    }

    void randomIdCoversTheWholeRange() {
        std::set<std::int32_t> seen;
        std::int32_t highest = 0;
        for (int i = 0; i < 20000; ++i) {
            const std::int32_t id = RandomId();
            QVERIFY(id >= 0 && id <= 999999);
            highest = std::max(highest, id);
            seen.insert(id);
        }
        // Drawn from a million values, 20,000 IDs collide about 200 times; from only 32768
        // values they would collide thousands of times.
        QVERIFY2(seen.size() > 19500, qPrintable(QString::number(seen.size())));
        QVERIFY(highest > 990000);
    }

    void roundTripOfGeneratedRecords() {
        std::mt19937 random(20261208);
        const auto pick = [&](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(random);
        };
        // Values free of delimiters, white space at their ends and field names.
        const auto word = [&](int maxLength, std::string_view alphabet) {
            std::string value(static_cast<std::size_t>(pick(0, maxLength)), ' ');
            for (char& c : value) {
                c = alphabet[static_cast<std::size_t>(pick(0, int(alphabet.size()) - 1))];
            }
            return value;
        };
        const std::string_view letters = "abcdefghijklmnopqrstuvwxyz0123456789*-_.";
        const std::string_view address = "0123456789.";
        MessageCodec codec;
        for (int round = 0; round < 3000; ++round) {
            NetMessage message;
            message.SetMagic(word(8, letters));
            message.version = static_cast<std::int32_t>(random());
            message.id = static_cast<std::int32_t>(random());
            message.msgType = pick(-3, 9);
            message.from = word(15, address);
            message.fromPort = static_cast<std::int32_t>(random());
            message.to = word(15, address);
            message.tunnel = pick(0, 1) ? 0 : static_cast<std::int32_t>(random());
            if (pick(0, 3) != 0) {
                message.body = "|";
                for (int key = pick(1, 4); key > 0; --key) {
                    message.body += "K" + word(5, "ABCXYZ") + "=" + word(20, letters) + "|";
                }
            }
            DatagramBuffer buffer;
            std::size_t length = 0;
            codec.Encode(message, buffer, length);
            NetMessage decoded;
            QVERIFY(codec.Decode(decoded, std::string_view(buffer.data(), length - 1)));
            QCOMPARE(decoded, message);
        }
    }
};

QTEST_APPLESS_MAIN(ProtocolTest)
#include "test_protocol.moc"
