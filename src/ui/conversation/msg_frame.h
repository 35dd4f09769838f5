#pragma once

#include <QList>
#include <QMainWindow>
#include <QSize>
#include <algorithm>
#include <string>

#include "core/text_mark.h"
#include "history/history_entry.h"

class QLabel;

namespace tollix {

class CTollixApp;
struct Contact;
class CDialogView;
class CMsgView;
class CRichEditPane;
class CSplitter;
class HistoryStore;
class LockIndicators;
class OfferBar;
class PrivacyBar;
class SearchBar;
class StoredHistory;

// The conversation with one contact: a toolbar, the history above the input in a split
// window, and a status bar with the message pane and the lock key indicators.
//
// The window and its contact point at each other (`contact->conversation`). It deletes
// itself when closed (once a send that is under way has returned: the alert of a failed
// send runs an event loop in which the contact may leave or the user close the window),
// and the contact's link is cleared when it closes or is destroyed,
// so that the next conversation with the contact starts in a new window. That window
// shows the contact's stored history above the texts of its own session, when there is a
// history store; Ctrl+F opens the search in it.
//
// With private conversations, the toolbar says where the next text goes (privately, or to
// the open group) and whether the contact's code is verified; the entries carry their
// marks; a bar above the status bar warns of a changed security code (one click accepts
// it) and offers the oldest waiting text to be sent openly or cancelled.
class CMsgFrame : public QMainWindow {
    Q_OBJECT

public:
    // The owner is the main window. It is not made the Qt parent, which would make this
    // a transient window without a task-bar button of its own; the window closes when
    // the owner is destroyed instead.
    explicit CMsgFrame(CTollixApp& app, QWidget* owner = nullptr);
    ~CMsgFrame() override;

    // The contact's open conversation window, or nullptr.
    static CMsgFrame* Of(const Contact& contact);

    // Binds the window to its contact and sets the title "Tollix : First Last" (trimmed)
    // once: a later change of the contact's names leaves the title as it is.
    void SetContact(Contact* contact);
    Contact* GetContact() const { return contact_; }

    // Sends the typed text to the contact. The text is trimmed and made safe for the
    // envelope; the input is cleared after a send that did not fail, or when nothing was
    // left to send. A failed send (the core has shown its alert) leaves the text in the
    // input to be sent again. The history shows the text when it comes back from the
    // network, not now.
    void SendTypedText();
    // The send-key hint in the status bar, in the tool-tip colours from then on.
    void ShowSendHint();
    // One history entry, named after the user (outgoing) or the contact as they are named
    // at this moment. `id` is the text's id in the history store (0: not stored); a text
    // among the stored entries shown already is not shown again. `unseen`: an incoming
    // text the user has not seen yet (the window is not in front of them).
    // `mark` says how it travelled.
    void AppendMessage(const QString& text, bool outgoing, qint64 id = 0, bool unseen = false,
                       const TextMark& mark = {});
    // What the toolbar, the marks and the privacy bar show follows the contact's private
    // conversation.
    void RefreshPrivacy();
    QString PrivacyText() const;
    PrivacyBar* Privacy() const { return privacyBar_; }
    // The bar of the contact's oldest file offer that waits for an answer.
    OfferBar* Offers() const { return offerBar_; }

    // Above the texts of this session: the contact's last stored entries (none without an
    // open store; those before `beforeId` when it is not 0: the text that opens the window,
    // which follows at once), then `unstored`, unread texts kept for the contact outside the
    // store, then the separator "Earlier messages" when anything was shown. Call once,
    // after SetContact.
    void ShowEarlierEntries(HistoryStore* store, const QList<HistoryEntry>& unstored = {},
                            qint64 beforeId = 0);
    // Says once, in the history, that a text shown was not stored (beyond the day's room
    // for strangers' texts).
    void NoteNotStored();
    // The user has the window in front of them: it is active and not minimised (some
    // platforms make a window that opens minimised the active one).
    bool InFront() const { return isActiveWindow() && !isMinimized(); }
    // True while the window shows texts that were unread when they came and the window has
    // not been in front of the user since; MarkSeen once they have been.
    bool HoldsUnseen() const { return holdsUnseen_; }
    void MarkSeen() {
        holdsUnseen_ = false;
        unseenUnstored_ = 0;
    }
    // Of the texts the window shows unseen, those the history store does not hold (no store,
    // beyond the day's room, or still waiting for a busy file).
    int UnseenUnstored() const { return unseenUnstored_; }
    // One of those has been stored after all (the busy file was free again).
    void StoredLate() { unseenUnstored_ = std::max(0, unseenUnstored_ - 1); }
    // The oldest stored text the window shows (0 with none): those before it are not shown.
    qint64 FirstShownId() const;
    // The line "NAME has left": the contact said goodbye, and the window stays for what the
    // user has not seen. Shown once until the next text.
    void ShowDeparture();

    // Shows the search field (Ctrl+F).
    void ShowSearch();
    SearchBar* Search() const { return searchBar_; }

    // The history's share of the two panes' heights, learned when the user moves the split
    // bar and applied after every resize of the window.
    void StoreSplitRatio();
    void ApplySplitRatio();
    double SplitRatio() const { return splitRatio_; }

    // Forgets the contact, clearing its link to this window, then closes. Called right
    // before the contact is destroyed.
    void DetachAndClose();

    // Gives the keyboard focus to the pane that had it last: the input, unless the user
    // moved into the history.
    void FocusActivePane();

    CDialogView* HistoryView() const { return historyView_; }
    CMsgView* InputView() const { return inputView_; }
    QString MessagePaneText() const;

signals:
    // The window came in front of the user (see InFront).
    void activated();
    // Earlier stored entries were shown: a page further back, or a search's range.
    void earlierShown();
    // The window was closed, by the user or because its contact left or was cleared.
    void closed();
    // Files were dropped on the window: to be sent to its contact.
    void filesDropped(const QStringList& paths);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Files dropped on either pane are for sending, not text for the input.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // No context menu for hiding the toolbar or the status bar.
    QMenu* createPopupMenu() override { return nullptr; }

private:
    void CreateToolBar();
    void CreateStatusBar();
    void CreateShortcuts();
    void CreateSearchBar();
    void CreatePrivacyBar();
    // Follows the private conversation of the contact at `address`.
    void FollowPrivacy(const std::string& address);
    void OnFind(const QString& words, bool older);
    // The history file was replaced: the ids of the entries shown mean nothing in the new
    // one, so its texts are shown as they come, and paging and search end here.
    void OnHistoryReplaced();
    void FitOuterSize();
    // Keeps the size the user gave the window for the next ones.
    void RememberSize();
    void KeepFirstHistoryHeight();
    void Detach();
    void DeleteWhenIdle();
    // The pane that has the focus; the input when neither has it.
    CRichEditPane* ActivePane() const;
    void ActivateOtherPane();

    CTollixApp& app_;
    Contact* contact_ = nullptr;
    CSplitter* splitter_ = nullptr;
    CDialogView* historyView_ = nullptr;
    CMsgView* inputView_ = nullptr;
    QLabel* messagePane_ = nullptr;
    QLabel* privacyLabel_ = nullptr;
    PrivacyBar* privacyBar_ = nullptr;
    OfferBar* offerBar_ = nullptr;
    std::string noticedCode_;  // the changed code the history has said so for
    SearchBar* searchBar_ = nullptr;
    StoredHistory* stored_ = nullptr;
    LockIndicators* indicators_ = nullptr;
    double splitRatio_ = 0.5;
    // The history keeps its first 83 pixels until the user first resizes the window; the
    // window's own sizing to its outer size does not count.
    bool ratioFollowsResize_ = false;
    bool shownOnce_ = false;
    bool notedNotStored_ = false;
    int sending_ = 0;
    bool closed_ = false;
    bool holdsUnseen_ = false;
    int unseenUnstored_ = 0;
    qint64 firstLiveId_ = 0;  // the first stored text appended live
    bool departureShown_ = false;
    // The outer size is the one the user last gave a conversation window (350 x 250 pixels
    // at first); the window manager's frame is known only once the window is on the screen,
    // and the inner size is then fitted to it.
    bool outerSizeFitted_ = false;
    QSize outerSize_;
    QSize ownSize_;
};

}  // namespace tollix
