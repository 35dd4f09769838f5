#pragma once

#include <QEventLoop>
#include <QObject>
#include <sstream>
#include <string>
#include <unordered_map>

#include "core/tollix_app.h"
#include "terminal_output.h"

namespace tollix {

class FileCommands;
class HistoryStore;

// Connects the core to the terminal: runs the commands read from standard input and
// prints every event of the core as one line. With a history store, every text is stored
// before its line is printed, and `history` answers from the store.
class TerminalPeer : public QObject {
    Q_OBJECT

public:
    TerminalPeer(CTollixApp& app, TerminalOutput& out);
    // The store that keeps the texts (none: nothing is kept); it must outlive the peer.
    void SetHistory(HistoryStore* history) { history_ = history; }
    // The file commands, run beside the others; they must outlive the peer.
    void SetFiles(FileCommands* files) { files_ = files; }

    // Runs one command line; returns false for `quit`.
    bool Execute(const std::string& line);
    // Connects, sends one text, waits until it has been delivered (a private text) or heard
    // back (an open one, which has then been forwarded into the tunnels), for 10 seconds at
    // most, disconnects. Returns the exit status: 0 once delivered or heard back.
    int SendOnce(const std::string& address, const std::string& text);
    // Says goodbye and disconnects; waits up to 5 seconds for a farewell that waits for the
    // look-up of a tunnel host's name.
    void Disconnect();
    // Ends the wait of SendOnce or Disconnect now (a termination signal).
    void StopWaiting();

    // A command's text with the escapes of the output read back: \n, \t, \r and \\ as a
    // line break, a TAB, a carriage return and a backslash, \xHH as the byte HH. So a
    // text field of an event, sent on as it stands, is the text that arrived.
    static std::string Unescape(std::string_view text);

private:
    void PrintContact(const Contact& contact);
    void PrintState();
    void Send(const std::string& arguments);
    void PrintText(const Contact& contact, const std::string& text, bool outgoing,
                   const TextMark& mark);
    // An outgoing private text's new mark: `delivered`, `waiting`, stored with the text.
    void PrintMark(const std::string& address, const TextMark& mark);
    // `session ADDRESS private CODE|open|changed CODE` when that changed for the contact.
    void PrintSession(const std::string& address);
    void Trust(std::istringstream& arguments);
    // `history ADDRESS [N]`: the contact's last N stored texts, oldest first, then `end`.
    void PrintHistory(std::istringstream& arguments);
    // True for a dotted IPv4 address; otherwise says so on standard error.
    bool IsAddress(const std::string& address) const;
    // Runs `loop` until it quits, or until StopWaiting.
    void Wait(QEventLoop& loop);

    CTollixApp& app_;
    TerminalOutput& out_;
    HistoryStore* history_ = nullptr;
    FileCommands* files_ = nullptr;
    std::string lastState_;
    std::unordered_map<std::string, std::string> sessions_;  // the last session line's fields
    QEventLoop* waiting_ = nullptr;
};

}  // namespace tollix
