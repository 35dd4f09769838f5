// The conversation window under the offscreen platform, with the core on fake channels:
// what a typed text becomes on the wire, the send key, the hints, the history entries,
// the split, links, the input kept after a failed send, and the stored history on a real
// file: earlier entries, paging and search.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <memory>

#include "core/memory_private_store.h"
#include "core_harness.h"
#include "history/history_store.h"
#include "protocol/body_keys.h"
#include "ui/conversation/dialog_view.h"
#include "ui/conversation/link_detection.h"
#include "ui/conversation/link_opener.h"
#include "ui/conversation/msg_frame.h"
#include "ui/conversation/msg_view.h"
#include "ui/conversation/privacy_bar.h"
#include "ui/conversation/search_bar.h"
#include "ui/conversation/splitter.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

const QString kEnterHint = QStringLiteral("HINT: Press \"Enter\" to send message");
const QString kCtrlEnterHint = QStringLiteral("HINT: Press \"Ctrl+Enter\" to send message");

// The TEXT values of the text messages sent, in order.
QStringList SentTexts(const FakeMulticast& multicast) {
    QStringList texts;
    for (const NetMessage& message : multicast.SentOfType(MSGTYPE_TEXT)) {
        texts << QString::fromStdString(std::string(BodyValue(message.body, body_key::kText)));
    }
    return texts;
}

// The colour of every character of the history, the line breaks between blocks left out.
QList<QColor> Colours(const QTextDocument& document) {
    QList<QColor> colours;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            for (int i = 0; i < fragment.fragment().length(); ++i) {
                colours << fragment.fragment().charFormat().foreground().color();
            }
        }
    }
    return colours;
}

// The middle of the character at `position` of a pane, in viewport coordinates.
QPoint PointAt(QTextEdit& pane, int position) {
    QTextCursor at(pane.document());
    at.setPosition(position);
    const QRect left = pane.cursorRect(at);
    at.setPosition(position + 1);
    const QRect right = pane.cursorRect(at);
    return QPoint((left.x() + right.x()) / 2, left.center().y());
}

// The contrast ratio of two colours as the web accessibility guidelines define it, from
// their relative luminance: 1 (none) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](double channel) {
            return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Stores `count` texts of Bob's, one a minute, every third sent by the user; those whose
// number is in `tomorrow` hold that word. Another contact's texts lie in between.
void StoreBobsTexts(HistoryStore& store, int count, const QList<int>& tomorrow = {}) {
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    for (int n = 0; n < count; ++n) {
        const bool out = n % 3 == 2;
        const QString text =
            QString("text %1 %2").arg(n).arg(tomorrow.contains(n) ? "tomorrow" : "today");
        store.Add({0, start.addSecs(60 * n), out, "10.0.0.9", out ? "Ann" : "Bob",
                   out ? "Lee" : "Brown", "Ops", text},
                  nullptr, {});
        store.Add({0, start.addSecs(60 * n), false, "10.0.0.8", "Cid", "", "Ops", "tomorrow"},
                  nullptr, {});
    }
    store.Flush();
}

// The number of the first stored text the history shows, read from its line.
int FirstTextShown(const QTextDocument& history) {
    const QString first = history.begin().text();
    return first.section(' ', -2, -2).toInt();
}

// The text of the block at the top of a pane's view (the top pixel row may be the last
// of the block before it).
QString TopLine(QTextEdit& pane) {
    return pane.cursorForPosition(QPoint(0, 1)).block().text();
}

// A dark desktop theme: dark windows and fields with light text, tool tips left light.
QPalette DarkPalette() {
    QPalette dark(QColor(53, 53, 53));  // buttons and windows
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    dark.setColor(QPalette::ToolTipText, Qt::black);
    return dark;
}

}  // namespace

class ConversationTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CoreHarness> core_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<HistoryStore> store_;
    Contact bob_;
    QPointer<CMsgFrame> frame_;
    std::vector<QUrl> opened_;

    CMsgFrame& Open() {
        frame_ = new CMsgFrame(core_->app);
        frame_->SetContact(&bob_);
        // Away from the pointer, which would otherwise rest on the toolbar.
        frame_->move(200, 200);
        frame_->show();
        if (!QTest::qWaitForWindowExposed(frame_)) {
            qWarning("conversation window not exposed");
        }
        return *frame_;
    }
    CMsgView& Input() { return *frame_->InputView(); }

private slots:
    void init() {
        core_ = std::make_unique<CoreHarness>();
        core_->app.Settings().userFirstName = "Ann";
        core_->app.Settings().userLastName = "Lee";
        bob_ = Contact{};
        bob_.firstName = "Bob";
        bob_.secondName = "Brown";
        bob_.address = "10.0.0.9";
        opened_.clear();
        ReplaceLinkOpener([this](const QUrl& url) { opened_.push_back(url); });
    }

    void cleanup() {
        delete frame_;
        ReplaceLinkOpener({});
        store_.reset();
        dir_.reset();
        core_.reset();
    }

    HistoryStore& Store() {
        dir_ = std::make_unique<QTemporaryDir>();
        store_ = std::make_unique<HistoryStore>(dir_->path());
        if (!store_->Open()) {
            qWarning("history store not opened");
        }
        return *store_;
    }

    void typedTextIsTrimmedAndMadeSafe_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");  // empty: nothing goes out
        QTest::newRow("delimiters") << "a|b <<<c>>>"
                                    << "a_b <_<c>_>";
        QTest::newRow("four less-than") << "<<<<"
                                        << "<_<<";
        QTest::newRow("trimmed, inner breaks kept") << " \t\r\n one\n two \r\n"
                                                    << "one\n two";
        QTest::newRow("blanks and breaks only") << " \n\t \n"
                                                << "";
    }
    void typedTextIsTrimmedAndMadeSafe() {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        CMsgFrame& frame = Open();
        Input().setPlainText(typed);
        frame.SendTypedText();
        const auto texts = core_->multicast.SentOfType(MSGTYPE_TEXT);
        if (sent.isEmpty()) {
            QVERIFY(texts.empty());
        } else {
            QCOMPARE(SentTexts(core_->multicast), QStringList{sent});
            QCOMPARE(texts.front().to, "10.0.0.9");
        }
        QVERIFY(Input().toPlainText().isEmpty());
        // The history waits for the text to come back from the network.
        QVERIFY(frame.HistoryView()->toPlainText().isEmpty());
    }

    void sendKeyFollowsTheSettingAndShowsTheHint_data() {
        QTest::addColumn<int>("sendKey");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("sends");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("0: Enter") << 0 << int(Qt::Key_Return) << 0 << true;
        QTest::newRow("0: keypad Enter")
            << 0 << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
        QTest::newRow("0: Shift+Enter")
            << 0 << int(Qt::Key_Return) << int(Qt::ShiftModifier) << true;
        QTest::newRow("0: Ctrl+Enter") << 0 << int(Qt::Key_Return) << ctrl << false;
        QTest::newRow("1: Ctrl+Enter") << 1 << int(Qt::Key_Return) << ctrl << true;
        QTest::newRow("1: Enter") << 1 << int(Qt::Key_Return) << 0 << false;
    }
    void sendKeyFollowsTheSettingAndShowsTheHint() {
        QFETCH(int, sendKey);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, sends);
        core_->app.Settings().msgSendKey = sendKey;
        CMsgFrame& frame = Open();
        QCOMPARE(frame.MessagePaneText(), "Ready");
        QTest::keyClicks(&Input(), "one");
        QTest::keyClick(&Input(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(frame.MessagePaneText(), sendKey == 0 ? kEnterHint : kCtrlEnterHint);
        if (sends) {
            QCOMPARE(SentTexts(core_->multicast), QStringList{"one"});
            QVERIFY(Input().toPlainText().isEmpty());
        } else {
            QVERIFY(SentTexts(core_->multicast).isEmpty());
            QVERIFY(Input().toPlainText().startsWith("one"));
        }
    }

    void multiLineTextKeepsItsBreaks() {
        core_->app.Settings().msgSendKey = 1;
        Open();
        QTest::keyClicks(&Input(), "one");
        QTest::keyClick(&Input(), Qt::Key_Return);
        QTest::keyClicks(&Input(), "two");
        QTest::keyClick(&Input(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(SentTexts(core_->multicast), QStringList{"one\ntwo"});
    }

    void toolbarPromptGivesWayToReadyThenTheHint() {
        CMsgFrame& frame = Open();
        auto* button = qobject_cast<QToolButton*>(frame.findChild<QToolBar*>()->widgetForAction(
            frame.findChild<QAction*>("messageHistory")));
        QVERIFY(button != nullptr && button->isEnabled());
        QTest::mouseMove(button);
        QTRY_COMPARE(frame.MessagePaneText(), "Message history");
        QTest::mouseMove(&Input());
        QTRY_COMPARE(frame.MessagePaneText(), "Ready");
        QTest::keyClick(&Input(), Qt::Key_Shift);  // any key press
        QCOMPARE(frame.MessagePaneText(), kCtrlEnterHint);
        const QPalette& bar = frame.statusBar()->palette();
        QVERIFY(frame.statusBar()->autoFillBackground());
        QCOMPARE(bar.color(QPalette::Window), bar.color(QPalette::ToolTipBase));
        button->click();  // "Message history" opens the search
        QVERIFY(frame.Search()->isVisible());
    }

    void keysMoveBetweenPanesAndUndo() {
        CMsgFrame& frame = Open();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QVERIFY(Input().hasFocus());
        QTest::keyClick(&Input(), Qt::Key_F6);
        QVERIFY(frame.HistoryView()->hasFocus());
        QTest::keyClick(frame.HistoryView(), Qt::Key_F6, Qt::ShiftModifier);
        QVERIFY(Input().hasFocus());
        QTest::keyClicks(&Input(), "abc");
        QTest::keyClick(&Input(), Qt::Key_Backspace, Qt::AltModifier);
        QVERIFY(Input().toPlainText().isEmpty());
    }

    // With private conversations: where the next text goes, the marks of the entries as
    // the core changes them, the waiting text sent openly with one click, and the changed
    // code accepted with one click.
    void privateConversationInTheWindow() {
        FakeSessions sessions;
        MemoryPrivateStore store;
        store.SavePin({"10.0.0.9", "C1"});
        PrivateConversations& conversations = core_->app.Private();
        conversations.SetStores(store, store);
        conversations.SetChannel(&sessions);
        core_->Connect();
        core_->FromGroup(Envelope(MSGTYPE_ONLINE, 1), "10.0.0.9");
        CMsgFrame& frame = Open();
        QCOMPARE(frame.PrivacyText(), "Private");
        const auto type = [&](const QString& text) {
            Input().setPlainText(text);
            frame.SendTypedText();
            const CoreHarness::ShownText& shown = core_->texts.back();
            frame.AppendMessage(QString::fromStdString(shown.text), true, 0, false, shown.mark);
        };
        type("hello");
        core_->Establish(sessions, "10.0.0.9", "C1");
        conversations.OnSessionAck("10.0.0.9", sessions.texts.back().id);
        const QTextDocument& history = *frame.HistoryView()->document();
        QVERIFY(history.toPlainText().contains("Ann Lee: hello  [private, delivered]"));

        sessions.established.clear();
        conversations.OnSessionClosed("10.0.0.9");
        type("are you there?");
        conversations.OnSessionFailed("10.0.0.9", false);
        QVERIFY(frame.Privacy()->isVisible());
        QVERIFY(frame.Privacy()->WaitingText()->text().contains("are you there?"));
        QVERIFY(history.toPlainText().contains("are you there?  [private, waiting]"));
        QTest::mouseClick(frame.Privacy()->SendOpenlyButton(), Qt::LeftButton);
        QCOMPARE(core_->multicast.SentOfType(MSGTYPE_TEXT).size(), std::size_t{1});
        QVERIFY(frame.Privacy()->isHidden());
        QVERIFY(history.toPlainText().contains("are you there?  [open]"));

        core_->Establish(sessions, "10.0.0.9", "C2");
        QVERIFY(frame.Privacy()->Warning()->text().contains("security code of Bob Brown has"));
        QVERIFY(history.toPlainText().contains("The security code of Bob Brown has changed"));
        QTest::mouseClick(frame.Privacy()->AcceptButton(), Qt::LeftButton);
        QCOMPARE(store.FindPin("10.0.0.9")->code, "C2");
        QVERIFY(frame.Privacy()->isHidden());
        conversations.SetChannel(nullptr);
        QCOMPARE(frame.PrivacyText(), "Open group");
    }

    void historyEntriesShowMarkNameAndColour() {
        CMsgFrame& frame = Open();
        QCOMPARE(frame.windowTitle(), "Tollix : Bob Brown");
        QVERIFY(bob_.conversation == &frame);
        frame.AppendMessage("hi", false);
        // The user's names when the text comes back count, not those it was sent with;
        // a renamed contact keeps its title but the history shows the new names.
        core_->app.Settings().userFirstName = "Annie";
        bob_.firstName = "Rob";
        frame.AppendMessage("one\r\ntwo\nhttp://example.org", true);
        frame.AppendMessage("back", false);
        core_->app.Settings().userFirstName = " ";
        core_->app.Settings().userLastName = "";
        frame.AppendMessage("nameless", true);
        QCOMPARE(frame.windowTitle(), "Tollix : Bob Brown");

        const QString received = QString(CDialogView::kReceivedMark);
        const QString sent = QString(CDialogView::kSentMark);
        const QString expected = received + " Bob Brown: hi\n" + sent +
                                 " Annie Lee: one\ntwo\nhttp://example.org\n" + received +
                                 " Rob Brown: back\n" + sent + " : nameless\n";
        const QTextDocument& history = *frame.HistoryView()->document();
        QCOMPARE(history.toPlainText(), expected);

        // Mark, then line, in explicit colours; the line breaks inside a text keep its colour.
        // (The sent green is the shade that is readable on the history's grey.)
        const QColor blue(0, 0, 255), darkBlue(0, 0, 153);
        const QColor green = Colours(history).at(int(QString(" Bob Brown: hi").size()) + 1);
        QVERIFY(green.green() > 100 && green.red() == 0 && green.blue() == 0);
        QList<QColor> wanted;
        const auto entry = [&wanted](const QString& line, const QColor& mark, const QColor& text) {
            wanted << mark << QList<QColor>(line.size(), text);
        };
        entry(" Bob Brown: hi", blue, darkBlue);
        entry(" Annie Lee: onetwohttp://example.org", green, green);
        entry(" Rob Brown: back", blue, darkBlue);
        entry(" : nameless", green, green);
        QCOMPARE(Colours(history), wanted);

        // Beside the text, not in it: the time each came at the right edge of its first
        // line, and its next lines (the sent one's second and third) indented past the mark.
        const QTextBlock second = history.findBlockByNumber(1);
        QCOMPARE(second.blockFormat().stringProperty(CDialogView::kTimeProperty),
                 QTime::currentTime().toString("HH:mm"));
        QVERIFY(second.blockFormat().leftMargin() > 0);
        QCOMPARE(second.blockFormat().textIndent(), -second.blockFormat().leftMargin());
        QCOMPARE(second.next().blockFormat().leftMargin(), second.blockFormat().leftMargin());
        QVERIFY(!second.next().blockFormat().hasProperty(CDialogView::kTimeProperty));

        // The newest entry stays in view.
        for (int i = 0; i < 40; ++i) {
            frame.AppendMessage("more", false);
        }
        const QScrollBar& scroll = *frame.HistoryView()->verticalScrollBar();
        QVERIFY(scroll.maximum() > 0);
        QCOMPARE(scroll.value(), scroll.maximum());
    }

    void titleAndContactLink() {
        Contact ann;
        ann.firstName = "Ann";
        auto* lone = new CMsgFrame(core_->app);
        QPointer<CMsgFrame> guard(lone);
        lone->AppendMessage("before binding", false);  // no contact: nothing happens
        QVERIFY(lone->HistoryView()->toPlainText().isEmpty());
        lone->SetContact(&ann);
        QCOMPARE(lone->windowTitle(), "Tollix : Ann");
        QVERIFY(ann.conversation == lone);

        // The user closing the window frees the contact for a new one at once.
        lone->close();
        QVERIFY(ann.conversation.isNull());
        QTRY_VERIFY(guard.isNull());

        // The contact about to be destroyed detaches its window.
        CMsgFrame& frame = Open();
        frame.DetachAndClose();
        QVERIFY(bob_.conversation.isNull());
        QCOMPARE(frame_->GetContact(), nullptr);
        QTRY_VERIFY(frame_.isNull());
    }

    void historyKeepsItsShareOnResize() {
        CMsgFrame& frame = Open();
        QTRY_COMPARE(frame.frameGeometry().size(), QSize(350, 250));
        auto& splitter = *frame.findChild<CSplitter*>();
        const auto share = [&splitter] {
            const QList<int> heights = splitter.sizes();
            return static_cast<double>(heights.value(0)) / (heights.value(0) + heights.value(1));
        };
        // 83 pixels until the first resize, half of the height from then on.
        QCOMPARE(splitter.sizes().value(0), 83);
        frame.resize(350, 300);
        QTRY_COMPARE(frame.height(), 300);
        QVERIFY2(qAbs(share() - 0.5) < 0.01, qPrintable(QString::number(share())));

        // The user drags the split bar to a third of the height.
        const int total = splitter.sizes().value(0) + splitter.sizes().value(1);
        const int drag = total / 3 - splitter.sizes().value(0);
        QSplitterHandle& handle = *splitter.handle(1);
        const QPoint grip = handle.rect().center();
        QTest::mousePress(&handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(&handle, grip + QPoint(0, drag));
        QTest::mouseRelease(&handle, Qt::LeftButton, {}, grip + QPoint(0, drag));
        QVERIFY2(qAbs(frame.SplitRatio() - 1.0 / 3) < 0.02,
                 qPrintable(QString::number(frame.SplitRatio())));

        // Squeezed until the history has no room left, then grown again.
        frame.resize(350, 1);
        QTRY_COMPARE(frame.height(), frame.minimumSizeHint().height());
        frame.resize(350, 600);
        QTRY_COMPARE(frame.height(), 600);
        QVERIFY2(qAbs(share() - 1.0 / 3) < 0.02, qPrintable(QString::number(share())));

        // The next window opens at the size the user gave this one.
        CMsgFrame next(core_->app);
        next.show();
        QTRY_COMPARE(next.frameGeometry().size(), frame.frameGeometry().size());
    }

    void linksAreFound_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("links");
        QTest::newRow("kinds") << "a http://x.org/p?q=1 https://y.net ftp://f.example "
                                  "WWW.Example.com mailto:ann@example.org file:/tmp/a.txt"
                               << QStringList{"http://x.org/p?q=1",     "https://y.net",
                                              "ftp://f.example",        "WWW.Example.com",
                                              "mailto:ann@example.org", "file:/tmp/a.txt"};
        QTest::newRow("punctuation and brackets")
            << "(see http://x.org/a). <http://w.org/A_(b)>!"
            << QStringList{"http://x.org/a", "http://w.org/A_(b)"};
        QTest::newRow("not at a word start, or prefix alone")
            << "awww.x.org profile:x http:// www." << QStringList{};
    }
    void linksAreFound() {
        QFETCH(QString, text);
        QFETCH(QStringList, links);
        QStringList found;
        for (const LinkSpan& span : FindLinks(text)) {
            QCOMPARE(text.mid(span.start, span.length), span.text);
            found << span.text;
        }
        QCOMPARE(found, links);
        QCOMPARE(LinkTarget("www.x.org/a"), QUrl("http://www.x.org/a"));
    }

    void clickedLinksOpenAndLeaveTheSelection() {
        CMsgFrame& frame = Open();
        frame.AppendMessage("see http://example.org/a?b=1 now", false);
        CDialogView& history = *frame.HistoryView();
        const int linkStart = static_cast<int>(history.toPlainText().indexOf("http"));

        // Shown as a link: underlined, in the entry's colour.
        const QTextBlock block = history.document()->findBlock(linkStart);
        bool underlined = false;
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            underlined |= range.start == linkStart - block.position() &&
                          range.length == QString("http://example.org/a?b=1").size() &&
                          range.format.fontUnderline();
        }
        QVERIFY(underlined);

        QTextCursor selection(history.document());
        selection.setPosition(0);
        selection.setPosition(4, QTextCursor::KeepAnchor);
        history.setTextCursor(selection);
        const QPoint onLink = PointAt(history, linkStart + 3);
        QTest::mouseClick(history.viewport(), Qt::RightButton, {}, onLink);
        QVERIFY(opened_.empty());
        QTest::mouseClick(history.viewport(), Qt::LeftButton, {}, onLink);
        QCOMPARE(opened_, std::vector<QUrl>{QUrl("http://example.org/a?b=1")});
        QCOMPARE(history.textCursor().selectionStart(), 0);
        QCOMPARE(history.textCursor().selectionEnd(), 4);

        // The input pane finds links as they are typed.
        QTest::keyClicks(&Input(), "go www.example.org");
        Input().moveCursor(QTextCursor::Start);
        QTest::mouseClick(Input().viewport(), Qt::LeftButton, {}, PointAt(Input(), 6));
        QCOMPARE(opened_.back(), QUrl("http://www.example.org"));
        QCOMPARE(Input().textCursor().position(), 0);
    }

    void failedSendKeepsTheTypedText() {
        CMsgFrame& frame = Open();
        // An envelope that would not arrive whole is not sent.
        const QString tooLong(32000, u'x');
        Input().setPlainText(tooLong);
        frame.SendTypedText();
        QVERIFY(SentTexts(core_->multicast).isEmpty());
        QCOMPARE(core_->alerts, std::vector<std::string>{"Message is too long!"});
        QCOMPARE(Input().toPlainText(), tooLong);

        // A send that fails on the group keeps the text for another try.
        Input().setPlainText("hello");
        core_->multicast.sendSucceeds = false;
        frame.SendTypedText();
        QCOMPARE(core_->alerts.back(), "Multicast Failed!");
        QCOMPARE(Input().toPlainText(), "hello");
        core_->multicast.sendSucceeds = true;
        frame.SendTypedText();
        QCOMPARE(SentTexts(core_->multicast), (QStringList{"hello", "hello"}));
        QVERIFY(Input().toPlainText().isEmpty());
    }

    // The last 200 stored entries above the live ones, with date and time, then the
    // separator; scrolling to the top brings 200 more each time, the view staying put.
    void storedEntriesAboveTheLiveOnesAndPaging() {
        HistoryStore& store = Store();
        StoreBobsTexts(store, 450);
        CMsgFrame& frame = Open();
        frame.ShowEarlierEntries(&store);
        CDialogView& history = *frame.HistoryView();
        const QTextDocument& document = *history.document();
        QCOMPARE(FirstTextShown(document), 250);
        const QString received = QString(CDialogView::kReceivedMark);
        const QString sent = QString(CDialogView::kSentMark);
        const QDateTime last = QDateTime::fromSecsSinceEpoch(1'700'000'000 + 60 * 449, Qt::UTC);
        QVERIFY(document.toPlainText().endsWith(sent + " " +
                                                last.toLocalTime().toString("yyyy-MM-dd HH:mm") +
                                                " Ann Lee: text 449 today\nEarlier messages\n"));
        const QList<HistoryEntry> newest = store.Last("10.0.0.9", 1);
        QTRY_COMPARE(history.verticalScrollBar()->value(), history.verticalScrollBar()->maximum());

        // A live text already among the stored ones is not shown twice; later ones are,
        // in the live format.
        frame.AppendMessage("text 449 today", true, newest.first().id);
        frame.AppendMessage("now", false, newest.first().id + 1);
        frame.AppendMessage("unstored", false, 0);
        QVERIFY(document.toPlainText().endsWith("Earlier messages\n" + received +
                                                " Bob Brown: now\n" + received +
                                                " Bob Brown: unstored\n"));
        // In the colours of their direction, the separator in neither.
        const QList<QColor> colours = Colours(document);
        QCOMPARE(colours.first(), QColor(0, 0, 255));
        QCOMPARE(colours.at(1), QColor(0, 0, 153));
        const auto separator = document.toPlainText().indexOf("Earlier");
        QVERIFY(colours.at(separator - 200) != QColor(0, 0, 153));

        history.verticalScrollBar()->setValue(0);
        QCOMPARE(FirstTextShown(document), 50);
        QCOMPARE(TopLine(history), document.findBlockByNumber(200).text());
        history.verticalScrollBar()->setValue(0);
        QCOMPARE(FirstTextShown(document), 0);
        history.verticalScrollBar()->setValue(10);
        history.verticalScrollBar()->setValue(0);
        QCOMPARE(document.blockCount(), 450 + 1 + 2 + 1);  // the separator, two live ones

        // A new file gives its ids from 1 again: its texts are shown, below a note.
        emit store.replaced();
        frame.AppendMessage("in the new file", false, 1);
        QVERIFY(document.toPlainText().endsWith("the texts above are in the old one\n" + received +
                                                " Bob Brown: in the new file\n"));
    }

    // Ctrl+F opens the search; Enter finds the newest hit, then older ones, Shift+Enter
    // newer ones, across the pages not loaded yet; Escape ends it.
    void searchMovesBetweenHits() {
        HistoryStore& store = Store();
        StoreBobsTexts(store, 450, {3, 260, 440});
        CMsgFrame& frame = Open();
        frame.ShowEarlierEntries(&store);
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        SearchBar& bar = *frame.Search();
        QVERIFY(!bar.isVisible());
        QTest::keyClick(&Input(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar.isVisible());
        QTRY_VERIFY(bar.Field()->hasFocus());

        CDialogView& history = *frame.HistoryView();
        const auto current = [&history] {
            // The current hit is drawn in the highlight's colours and is in view: the
            // word found, not the rest of its entry.
            for (const QTextEdit::ExtraSelection& mark : history.extraSelections()) {
                if (mark.format.background() == history.palette().highlight()) {
                    const QRect place = history.cursorRect(mark.cursor);
                    return !history.viewport()->rect().intersects(place) ? QString("out of view")
                           : mark.cursor.selectedText() != "tomorrow"
                               ? mark.cursor.selectedText()
                               : mark.cursor.block().text().section(' ', -2, -2);
                }
            }
            return QString();
        };
        QTest::keyClicks(bar.Field(), "TOMOR");
        QTest::keyClick(bar.Field(), Qt::Key_Return);
        QCOMPARE(bar.Result(), "1 of 3");
        QCOMPARE(current(), "440");
        QCOMPARE(history.extraSelections().size(), 2);  // the oldest is not loaded yet
        bar.NextAction()->trigger();                    // the button does what Enter does
        QCOMPARE(bar.Result(), "2 of 3");
        QCOMPARE(current(), "260");
        QTest::keyClick(bar.Field(), Qt::Key_Return);
        QCOMPARE(bar.Result(), "3 of 3");
        QCOMPARE(current(), "3");
        QCOMPARE(FirstTextShown(*history.document()), 3);  // loaded from the hit on
        QTest::keyClick(bar.Field(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(current(), "260");
        bar.PreviousAction()->trigger();
        QCOMPARE(current(), "440");
        QTest::keyClick(bar.Field(), Qt::Key_Return);
        QTest::keyClick(bar.Field(), Qt::Key_Return);
        QTest::keyClick(bar.Field(), Qt::Key_Return);  // past the oldest: the newest again
        QCOMPARE(current(), "440");

        bar.Field()->setText("yesterday");
        QTest::keyClick(bar.Field(), Qt::Key_Return);
        QCOMPARE(bar.Result(), "Not found");
        QVERIFY(history.extraSelections().isEmpty());
        bar.Field()->setText("today");
        QTest::keyClick(bar.Field(), Qt::Key_Return);
        QCOMPARE(bar.Result(), "1 of 447");
        bar.CloseAction()->trigger();
        QVERIFY(!bar.isVisible());
        QVERIFY(history.extraSelections().isEmpty());
        QTRY_VERIFY(Input().hasFocus());
        frame.ShowSearch();
        QTest::keyClick(bar.Field(), Qt::Key_Escape);
        QVERIFY(!bar.isVisible());
    }

    // On a light and on a dark theme the history keeps blue for received and green for
    // sent text, and both, like the hint, stand out from what they are drawn on by at least
    // 4.5:1 (the green of old is 3.3:1 on the light grey).
    void readableOnBothThemes_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void readableOnBothThemes() {
        QFETCH(bool, dark);
        const QPalette before = QApplication::palette();
        QApplication::setPalette(dark ? DarkPalette() : before);
        CMsgFrame& frame = Open();
        frame.AppendMessage("in", false);
        frame.AppendMessage("out", true);
        QTest::keyClick(&Input(), Qt::Key_Shift);  // the hint
        const QColor history = frame.HistoryView()->palette().color(QPalette::Base);
        const QList<QColor> colours = Colours(*frame.HistoryView()->document());
        const QStatusBar& bar = *frame.statusBar();
        const QLabel& pane = *bar.findChild<QLabel*>();  // the message pane comes first
        QCOMPARE(pane.text(), kCtrlEnterHint);
        const QColor hint = pane.palette().color(pane.foregroundRole());
        const QColor hintBackground = bar.palette().color(bar.backgroundRole());
        QApplication::setPalette(before);

        QCOMPARE(history.lightness() < 128, dark);
        const int received = int(QString(" Bob Brown: in").size()) + 1;
        for (int i = 0; i < colours.size(); ++i) {
            const QColor& colour = colours[i];
            QVERIFY2(Contrast(colour, history) >= 4.5, qPrintable(colour.name()));
            if (i < received) {
                QVERIFY(colour.blue() > colour.red() && colour.blue() > colour.green());
            } else {
                QVERIFY(colour.green() > colour.red() && colour.green() > colour.blue());
            }
        }
        QCOMPARE(hintBackground.lightness() < 128, dark);  // no bright bar on a dark theme
        QVERIFY2(Contrast(hint, hintBackground) >= 4.5,
                 qPrintable(hint.name() + " on " + hintBackground.name()));
    }

    // Not a check: with TOLLIX_SCREENSHOT=FILE.png it saves a picture of a conversation,
    // on a dark theme when TOLLIX_SCREENSHOT_THEME is "dark", with earlier messages and
    // the search field when TOLLIX_SCREENSHOT_HISTORY is "1".
    void screenshot() {
        const QString path = qEnvironmentVariable("TOLLIX_SCREENSHOT");
        if (path.isEmpty()) {
            QSKIP("set TOLLIX_SCREENSHOT to a PNG path to save a picture");
        }
        if (qEnvironmentVariable("TOLLIX_SCREENSHOT_THEME") == "dark") {
            QApplication::setStyle("Fusion");
            QApplication::setPalette(DarkPalette());
        }
        const bool history = qEnvironmentVariable("TOLLIX_SCREENSHOT_HISTORY") == "1";
        core_->app.Settings().conversationWidth = 420;  // the size a window is made with
        core_->app.Settings().conversationHeight = 330;
        CMsgFrame& frame = Open();
        HistoryStore* store = history ? &Store() : nullptr;
        // As the program shows a text: stored first, then shown with its id.
        const auto add = [&](const QDateTime& when, bool out, const QString& text) {
            if (store == nullptr) {
                return qint64{0};
            }
            store->Add(
                {0, when, out, "10.0.0.9", out ? "Ann" : "Bob", out ? "Lee" : "Brown", "Ops", text},
                nullptr, {});
            store->Flush();
            return store->Last("10.0.0.9", 1).first().id;
        };
        if (history) {
            const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);
            add(yesterday, false, "Are we still on for the review tomorrow?");
            add(yesterday.addSecs(120), true, "Yes, at 10 in room 2.");
            add(yesterday.addSecs(180), false, "Fine, I will write the minutes.");
            frame.ShowEarlierEntries(store);
        }
        for (const auto& [out, text] :
             {std::pair{false, "Hello Ann,\nthe minutes are at http://intranet.example/minutes"},
              std::pair{true, "Thanks Bob!\nI will read them after lunch."}}) {
            frame.AppendMessage(text, out, add(QDateTime::currentDateTime(), out, text));
        }
        QTest::keyClicks(&Input(), "See you at 3");
        if (history) {
            frame.resize(420, 400);  // as a user would, for a larger history
            frame.ShowSearch();
            QTest::keyClicks(frame.Search()->Field(), "minutes");
            QTest::keyClick(frame.Search()->Field(), Qt::Key_Return);
        }
        QTest::qWait(400);
        const QPixmap picture = frame.screen()->grabWindow(frame.winId());
        QVERIFY(!picture.isNull() && picture.save(path));
    }
};

QTEST_MAIN(ConversationTest)
#include "test_conversation.moc"
