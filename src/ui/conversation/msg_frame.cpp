#include "ui/conversation/msg_frame.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QLabel>
#include <QPalette>
#include <QResizeEvent>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <functional>
#include <utility>

#include "core/contact.h"
#include "core/private_conversations.h"
#include "core/tollix_app.h"
#include "history/history_store.h"
#include "protocol/net_message.h"
#include "protocol/text.h"
#include "protocol/text_safety.h"
#include "ui/common/dropped_files.h"
#include "ui/common/lock_indicators.h"
#include "ui/common/pictures.h"
#include "ui/common/plain_text.h"
#include "ui/common/readable_colour.h"
#include "ui/conversation/dialog_view.h"
#include "ui/conversation/msg_view.h"
#include "ui/conversation/offer_bar.h"
#include "ui/conversation/privacy_bar.h"
#include "ui/conversation/search_bar.h"
#include "ui/conversation/splitter.h"
#include "ui/conversation/stored_history.h"

namespace tollix {

namespace {

constexpr int kFirstHistoryHeight = 83;
// A remembered size is kept to this at least, so that no window opens too small to use.
constexpr QSize kSmallestOuterSize(200, 150);

QString Ready() {
    return QStringLiteral("Ready");
}

// The hint's colours: those of tool tips, where the theme draws them as it draws its
// windows (both light or both dark); otherwise, as the light tool tips of many dark themes,
// they would glare: the window's colour then, tinted towards the selection's.
std::pair<QColor, QColor> HintColours(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    const QColor tip = palette.color(QPalette::ToolTipBase);
    if (IsDark(tip) == IsDark(window)) {
        return {tip, ReadableOn(palette.color(QPalette::ToolTipText), tip)};
    }
    const QColor highlight = palette.color(QPalette::Highlight);
    constexpr double kTint = 0.3;
    const QColor tinted = QColor::fromRgbF(
        static_cast<float>(window.redF() + (highlight.redF() - window.redF()) * kTint),
        static_cast<float>(window.greenF() + (highlight.greenF() - window.greenF()) * kTint),
        static_cast<float>(window.blueF() + (highlight.blueF() - window.blueF()) * kTint));
    return {tinted, ReadableOn(palette.color(QPalette::WindowText), tinted)};
}

QString Trimmed(const std::string& text) {
    return QString::fromStdString(std::string(Trim(text)));
}

}  // namespace

CMsgFrame::CMsgFrame(CTollixApp& app, QWidget* owner) : QMainWindow(nullptr), app_(app) {
    setWindowTitle(QStringLiteral("Tollix"));
    setWindowIcon(pictures::Program());

    splitter_ = new CSplitter(*this, this);
    historyView_ = new CDialogView(splitter_);
    inputView_ = new CMsgView(*this, app.Settings(), splitter_);
    // The split bar may squeeze the history down to nothing.
    historyView_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    splitter_->addWidget(historyView_);
    splitter_->addWidget(inputView_);
    setCentralWidget(splitter_);

    CreateToolBar();
    CreateSearchBar();
    CreatePrivacyBar();
    addToolBarBreak(Qt::BottomToolBarArea);
    offerBar_ = new OfferBar(this);
    addToolBar(Qt::BottomToolBarArea, offerBar_);
    CreateStatusBar();
    for (QWidget* pane : {historyView_->viewport(), inputView_->viewport()}) {
        pane->setAcceptDrops(true);
        pane->installEventFilter(this);
    }
    CreateShortcuts();

    const AppSettings& settings = app.Settings();
    outerSize_ = QSize(settings.conversationWidth, settings.conversationHeight)
                     .expandedTo(kSmallestOuterSize);
    resize(outerSize_);
    ownSize_ = size();
    inputView_->setFocus();

    if (owner != nullptr) {
        connect(owner, &QObject::destroyed, this, [this] { delete this; });
    }
}

CMsgFrame::~CMsgFrame() {
    Detach();
}

CMsgFrame* CMsgFrame::Of(const Contact& contact) {
    return qobject_cast<CMsgFrame*>(contact.conversation.data());
}

void CMsgFrame::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Toolbar"));
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    QAction* history =
        bar->addAction(pictures::MessageHistory(), QStringLiteral("Message history"));
    history->setObjectName(QStringLiteral("messageHistory"));
    history->setStatusTip(QStringLiteral("Message history"));
    connect(history, &QAction::triggered, this, &CMsgFrame::ShowSearch);
    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    privacyLabel_ = new QLabel(bar);
    privacyLabel_->setObjectName(QStringLiteral("privacy"));
    privacyLabel_->setTextFormat(Qt::PlainText);
    privacyLabel_->setContentsMargins(4, 0, 4, 0);
    bar->addWidget(privacyLabel_);
}

void CMsgFrame::CreatePrivacyBar() {
    privacyBar_ = new PrivacyBar(this);
    addToolBar(Qt::BottomToolBarArea, privacyBar_);
    PrivateConversations& conversations = app_.Private();
    const auto address = [this] { return contact_ != nullptr ? contact_->address : std::string(); };
    connect(privacyBar_, &PrivacyBar::acceptRequested, this,
            [&conversations, address] { conversations.Trust(address()); });
    // Both act on the oldest text that waits.
    const auto oldest = [&conversations, address]() -> std::optional<WaitingText> {
        const std::vector<WaitingText> waiting = conversations.Waiting(address());
        return waiting.empty() ? std::nullopt : std::optional(waiting.front());
    };
    connect(privacyBar_, &PrivacyBar::sendOpenlyRequested, this, [&conversations, oldest] {
        if (const auto text = oldest()) {
            conversations.SendOpenly(text->address, text->id);
        }
    });
    connect(privacyBar_, &PrivacyBar::cancelRequested, this, [&conversations, oldest] {
        if (const auto text = oldest()) {
            conversations.Cancel(text->address, text->id);
        }
    });
}

void CMsgFrame::FollowPrivacy(const std::string& address) {
    PrivateConversations& conversations = app_.Private();
    connect(&conversations, &PrivateConversations::stateChanged, this,
            [this, address](const std::string& changed) {
                if (changed == address) {
                    RefreshPrivacy();
                }
            });
    connect(&conversations, &PrivateConversations::textMarked, this,
            [this, address](const std::string& to, const std::string&, const TextMark& mark) {
                if (to == address) {
                    historyView_->SetMark(mark);
                    RefreshPrivacy();
                }
            });
    connect(&conversations, &PrivateConversations::textRefused, this,
            [this, address](const std::string& to, const std::string& reason) {
                if (to == address) {
                    historyView_->AppendNotice(QString::fromStdString(reason));
                }
            });
    // Stopping or starting the sessions changes what every window says.
    connect(&conversations, &PrivateConversations::sessionsRunning, this,
            &CMsgFrame::RefreshPrivacy);
    RefreshPrivacy();
}

void CMsgFrame::RefreshPrivacy() {
    if (contact_ == nullptr) {
        return;
    }
    const PrivateConversations& conversations = app_.Private();
    const std::string& address = contact_->address;
    historyView_->SetMarksShown(conversations.IsOn());
    const std::string displayName = contact_->DisplayName();
    const QString name = QString::fromStdString(displayName.empty() ? address : displayName);
    const std::optional<PinnedCode> pin = conversations.Pin(address);
    QString label;
    QString tip;
    switch (conversations.StateOf(address)) {
        case PrivateConversations::State::Private:
            label = pin->verified ? QStringLiteral("Private, verified \u2713")
                                  : QStringLiteral("Private");
            tip = QStringLiteral(
                      "What you write next goes privately: only %1's program can read "
                      "it. While it cannot be reached, texts wait.")
                      .arg(name);
            break;
        case PrivateConversations::State::Changed:
            label = QStringLiteral("Private, code changed: texts wait");
            tip = QStringLiteral("What you write waits until you accept the new security code.");
            break;
        case PrivateConversations::State::Unknown:
        case PrivateConversations::State::Opening:
            label = QStringLiteral("Opening a private conversation");
            tip = QStringLiteral(
                      "What you write next goes privately if %1's program can hold "
                      "private conversations, otherwise to the open group.")
                      .arg(name);
            break;
        default:
            label = QStringLiteral("Open group");
            tip = QStringLiteral(
                "What you write next goes to the open group: everyone on the "
                "network can read it.");
    }
    privacyLabel_->setText(label);
    privacyLabel_->setToolTip(tip);

    const std::string changed = conversations.ChangedCode(address);
    if (changed.empty()) {
        privacyBar_->ShowChanged({}, false);
    } else {
        const bool verified = pin && pin->verified;
        privacyBar_->ShowChanged(
            verified ? QStringLiteral("Warning: the security code of %1 has changed since you "
                                      "verified it. Someone else may be writing under this "
                                      "address. Compare the codes again before you accept.")
                           .arg(name)
                     : QStringLiteral("The security code of %1 has changed").arg(name),
            verified);
        if (std::exchange(noticedCode_, changed) != changed) {
            historyView_->AppendNotice(
                QStringLiteral("The security code of %1 has changed").arg(name));
        }
    }
    const std::vector<WaitingText> waiting = conversations.Waiting(address);
    if (waiting.empty()) {
        privacyBar_->ShowWaiting({});
    } else {
        const QString oldest = QString::fromStdString(waiting.front().text).simplified();
        privacyBar_->ShowWaiting(
            QStringLiteral("%1 waiting for %2. The oldest: \u201c%3\u201d")
                .arg(waiting.size() == 1 ? QStringLiteral("1 text is")
                                         : QStringLiteral("%1 texts are").arg(waiting.size()),
                     name, oldest.size() > 60 ? oldest.left(59) + u'\u2026' : oldest));
    }
}

QString CMsgFrame::PrivacyText() const {
    return privacyLabel_->text();
}

void CMsgFrame::CreateSearchBar() {
    addToolBarBreak();
    searchBar_ = new SearchBar(this);
    addToolBar(searchBar_);
    connect(searchBar_, &SearchBar::findRequested, this, &CMsgFrame::OnFind);
    connect(searchBar_, &SearchBar::closed, this, [this] {
        if (stored_ != nullptr) {
            stored_->EndSearch();
        }
        inputView_->setFocus();
    });
}

void CMsgFrame::ShowSearch() {
    searchBar_->Open();
}

void CMsgFrame::OnFind(const QString& words, bool older) {
    if (stored_ == nullptr) {
        searchBar_->ShowResult(0, 0);
        return;
    }
    stored_->Find(words, older);
    searchBar_->ShowResult(stored_->CurrentHit(), stored_->HitCount());
}

void CMsgFrame::ShowEarlierEntries(HistoryStore* store, const QList<HistoryEntry>& unstored,
                                   qint64 beforeId) {
    if (contact_ == nullptr || stored_ != nullptr) {
        return;
    }
    firstLiveId_ = beforeId;
    bool shown = false;
    if (store != nullptr && store->IsOpen()) {
        stored_ = new StoredHistory(*store, *historyView_,
                                    QString::fromStdString(contact_->address), this);
        connect(store, &HistoryStore::replaced, this, &CMsgFrame::OnHistoryReplaced);
        connect(stored_, &StoredHistory::entriesShown, this, [this](bool unread) {
            holdsUnseen_ = holdsUnseen_ || unread;
            emit earlierShown();
        });
        shown = stored_->LoadLatest(beforeId);
    }
    if (!unstored.isEmpty()) {
        historyView_->AppendStoredEntries(unstored);
        holdsUnseen_ = true;
        unseenUnstored_ += static_cast<int>(unstored.size());
        shown = true;
    }
    if (shown) {
        historyView_->AppendSeparator();
    }
}

void CMsgFrame::OnHistoryReplaced() {
    if (stored_ == nullptr) {
        return;
    }
    stored_->deleteLater();
    stored_ = nullptr;
    firstLiveId_ = 0;  // ids start again in the new file
    historyView_->HighlightEntries({}, 0);
    historyView_->AppendNotice(
        QStringLiteral("The history file was replaced; the texts above are in the old one"));
}

void CMsgFrame::NoteNotStored() {
    if (!std::exchange(notedNotStored_, true)) {
        historyView_->AppendNotice(QStringLiteral(
            "Texts from senders you have not written to are not stored any more today"));
    }
}

void CMsgFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    messagePane_ = new QLabel(Ready(), bar);
    messagePane_->setTextFormat(Qt::PlainText);
    bar->addWidget(messagePane_, 1);
    indicators_ = new LockIndicators(*bar);
}

void CMsgFrame::CreateShortcuts() {
    // The panes handle most of these keys themselves; the window's shortcuts take the rest
    // (Alt+Backspace, or a key pressed while the toolbar has the focus) to the active pane.
    const auto add = [this](QKeyCombination keys, std::function<void()> action) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, std::move(action));
    };
    const auto copy = [this] { ActivePane()->copy(); };
    const auto cut = [this] {
        if (!ActivePane()->isReadOnly()) {
            ActivePane()->cut();
        }
    };
    const auto paste = [this] {
        if (!ActivePane()->isReadOnly()) {
            ActivePane()->paste();
        }
    };
    const auto undo = [this] {
        if (!ActivePane()->isReadOnly()) {
            ActivePane()->undo();
        }
    };
    add(Qt::CTRL | Qt::Key_C, copy);
    add(Qt::CTRL | Qt::Key_Insert, copy);
    add(Qt::CTRL | Qt::Key_X, cut);
    add(Qt::SHIFT | Qt::Key_Delete, cut);
    add(Qt::CTRL | Qt::Key_V, paste);
    add(Qt::SHIFT | Qt::Key_Insert, paste);
    add(Qt::CTRL | Qt::Key_Z, undo);
    add(Qt::ALT | Qt::Key_Backspace, undo);
    // With two panes the next pane and the previous one are the same.
    add(QKeyCombination(Qt::Key_F6), [this] { ActivateOtherPane(); });
    add(Qt::SHIFT | Qt::Key_F6, [this] { ActivateOtherPane(); });
    add(Qt::CTRL | Qt::Key_F, [this] { ShowSearch(); });
}

CRichEditPane* CMsgFrame::ActivePane() const {
    // The window's focus widget is kept while the window is inactive.
    if (focusWidget() == historyView_) {
        return historyView_;
    }
    return inputView_;
}

void CMsgFrame::FocusActivePane() {
    ActivePane()->setFocus();
}

void CMsgFrame::ActivateOtherPane() {
    CRichEditPane* other = ActivePane() == inputView_ ? static_cast<CRichEditPane*>(historyView_)
                                                      : static_cast<CRichEditPane*>(inputView_);
    other->setFocus(Qt::ShortcutFocusReason);
}

void CMsgFrame::SetContact(Contact* contact) {
    if (contact_ != nullptr && contact_ != contact) {
        Detach();
    }
    contact_ = contact;
    if (contact == nullptr) {
        return;
    }
    contact->conversation = this;
    setWindowTitle(LiteralWindowTitle(Trimmed(windowTitle().toStdString() + " : " +
                                              contact->firstName + " " + contact->secondName)));
    FollowPrivacy(contact->address);
}

void CMsgFrame::SendTypedText() {
    if (contact_ == nullptr) {
        return;
    }
    const std::string text = MakeTextSafe(inputView_->toPlainText().toStdString());
    if (text.empty()) {
        inputView_->clear();
        return;
    }
    // A failure shows an alert, whose event loop may close this window meanwhile; it is
    // then deleted once the send has returned.
    ++sending_;
    const bool sent = app_.SendTextMessage(MSGTYPE_TEXT, contact_, text);
    --sending_;
    if (closed_) {
        DeleteWhenIdle();
    } else if (sent) {
        inputView_->clear();
    }
}

void CMsgFrame::ShowSendHint() {
    QStatusBar* bar = statusBar();
    QPalette colours = bar->palette();
    const auto [background, text] = HintColours(palette());  // the window's, not the bar's
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, text);
    bar->setPalette(colours);
    bar->setAutoFillBackground(true);
    messagePane_->setText(app_.Settings().msgSendKey != 0
                              ? QStringLiteral("HINT: Press \"Ctrl+Enter\" to send message")
                              : QStringLiteral("HINT: Press \"Enter\" to send message"));
}

void CMsgFrame::AppendMessage(const QString& text, bool outgoing, qint64 id, bool unseen,
                              const TextMark& mark) {
    if (contact_ == nullptr || (id > 0 && stored_ != nullptr && id <= stored_->NewestId())) {
        return;
    }
    if (id > 0 && firstLiveId_ == 0) {
        firstLiveId_ = id;
    }
    holdsUnseen_ = holdsUnseen_ || unseen;
    unseenUnstored_ += unseen && id == 0 ? 1 : 0;
    departureShown_ = false;
    const AppSettings& settings = app_.Settings();
    const QString name = outgoing ? Trimmed(settings.userFirstName + " " + settings.userLastName)
                                  : Trimmed(contact_->firstName + " " + contact_->secondName);
    historyView_->AppendEntry({outgoing, QStringLiteral(" ") + name + QStringLiteral(": "), text,
                               id, QDateTime::currentDateTime(), mark});
}

qint64 CMsgFrame::FirstShownId() const {
    return stored_ != nullptr && stored_->OldestId() > 0 ? stored_->OldestId() : firstLiveId_;
}

void CMsgFrame::ShowDeparture() {
    if (contact_ == nullptr || std::exchange(departureShown_, true)) {
        return;
    }
    std::string name = contact_->DisplayName();
    if (name.empty()) {
        name = contact_->address;
    }
    historyView_->AppendNotice(QString::fromStdString(name) + QStringLiteral(" has left"));
}

QString CMsgFrame::MessagePaneText() const {
    return messagePane_->text();
}

void CMsgFrame::StoreSplitRatio() {
    if (!splitter_->isVisible()) {
        return;
    }
    const QList<int> heights = splitter_->sizes();
    const int total = heights.value(0) + heights.value(1);
    // Both panes squeezed to nothing tell no share; the previous one stays.
    if (total > 0) {
        splitRatio_ = static_cast<double>(heights.value(0)) / total;
    }
}

void CMsgFrame::ApplySplitRatio() {
    if (!splitter_->isVisible()) {
        return;
    }
    const QList<int> heights = splitter_->sizes();
    const int total = heights.value(0) + heights.value(1);
    const int history = static_cast<int>(total * splitRatio_);
    splitter_->setSizes({history, total - history});
}

void CMsgFrame::DetachAndClose() {
    Detach();
    close();
}

void CMsgFrame::Detach() {
    if (contact_ != nullptr && contact_->conversation == this) {
        contact_->conversation = nullptr;
    }
    contact_ = nullptr;
}

bool CMsgFrame::event(QEvent* event) {
    // The toolbar's prompt goes to the message pane; when the pointer leaves the button
    // the pane returns to "Ready" until the next key press shows the hint again.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        messagePane_->setText(tip.isEmpty() ? Ready() : tip);
        return true;
    }
    // A window opened minimised gets its frame only when the user first brings it up.
    if (event->type() == QEvent::WindowActivate) {
        FitOuterSize();
    }
    const bool handled = QMainWindow::event(event);
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowStateChange) &&
        InFront()) {
        emit activated();
    }
    return handled;
}

void CMsgFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) {
        return;
    }
    shownOnce_ = true;
    KeepFirstHistoryHeight();
    // The window manager's frame is known only once the window is on the screen.
    QTimer::singleShot(0, this, &CMsgFrame::FitOuterSize);
}

void CMsgFrame::KeepFirstHistoryHeight() {
    const QList<int> heights = splitter_->sizes();
    const int total = heights.value(0) + heights.value(1);
    const int history = std::min(kFirstHistoryHeight, total);
    splitter_->setSizes({history, total - history});
}

void CMsgFrame::FitOuterSize() {
    // Once only, and never over a size the user has chosen.
    if (outerSizeFitted_ || ratioFollowsResize_ || isMinimized()) {
        return;
    }
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame.width() <= 0 && frame.height() <= 0) {
        return;  // no frame yet, or none at all
    }
    outerSizeFitted_ = true;
    ownSize_ = outerSize_ - frame;
    resize(ownSize_);
}

void CMsgFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!shownOnce_) {
        return;
    }
    if (!ratioFollowsResize_ && event->size() != ownSize_) {
        ratioFollowsResize_ = true;
    }
    if (ratioFollowsResize_) {
        ApplySplitRatio();
        RememberSize();
    } else {
        KeepFirstHistoryHeight();
    }
}

void CMsgFrame::RememberSize() {
    if (isMaximized() || isMinimized() || isFullScreen()) {
        return;
    }
    // The frame's size, the one a new window is given; saved with the settings.
    const QSize outer = size() + (frameGeometry().size() - geometry().size());
    AppSettings& settings = app_.Settings();
    settings.conversationWidth = outer.width();
    settings.conversationHeight = outer.height();
}

void CMsgFrame::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        // A text arriving before the window is gone opens a new one.
        Detach();
        closed_ = true;
        DeleteWhenIdle();
        emit closed();
    }
}

void CMsgFrame::DeleteWhenIdle() {
    // Never while a send is on the stack: the key press that started it is still being
    // handled by this window.
    if (sending_ == 0) {
        deleteLater();
    }
}

bool CMsgFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
        event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = DroppedFiles(drop->mimeData());
        if (!paths.isEmpty()) {
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop) {
                emit filesDropped(paths);
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace tollix
