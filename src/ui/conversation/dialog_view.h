#pragma once

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QTextCursor>
#include <QTextFormat>

#include "core/text_mark.h"
#include "history/history_entry.h"
#include "ui/conversation/rich_edit_pane.h"

namespace tollix {

// The history pane of a conversation: read-only, one coloured entry per message, oldest
// first. An entry is a direction mark followed by the line " Name: text" and one line
// break; line breaks inside the text start new lines within the entry, in its colour,
// indented past the mark, as are the lines that wrap. A few pixels separate entries, and
// the entries of this session show the time they came at the right edge, beside the text.
//
// Above the entries of this session it may show stored ones, in the same colours and
// marks with their date and time, and below those a separator line "Earlier messages"
// between two thin rules. Entries with a history id can be found again, their words found
// by a search highlighted, and scrolled to.
//
// While private conversations are on, each entry ends with its mark in faded brackets:
// how it travelled (private, open, unverified) and, for the user's private texts, where it
// is (sending, delivered, waiting, cancelled); a later mark replaces it.
class CDialogView : public CRichEditPane {
    Q_OBJECT

public:
    static constexpr QChar kReceivedMark = QChar(0x25C4);  // black left-pointing pointer
    static constexpr QChar kSentMark = QChar(0x25BA);      // black right-pointing pointer
    static constexpr const char* kSeparator = "Earlier messages";
    // Properties of a block's format: the time shown at the right edge of an entry's
    // first line ("HH:mm"), and a notice drawn between two rules.
    static constexpr int kTimeProperty = QTextFormat::UserProperty + 1;
    static constexpr int kRulesProperty = QTextFormat::UserProperty + 2;

    // One entry as the pane shows it: everything that marks it is decided here.
    struct Entry {
        bool outgoing = false;
        QString head;  // " Name: ", or " YYYY-MM-DD HH:MM Name: " for a stored entry
        QString text;
        qint64 id = 0;      // finds it again; 0: not stored
        QDateTime shownAt;  // entries of this session: the time at the right edge
        TextMark mark;      // how it travelled, shown while marks are shown
    };

    explicit CDialogView(QWidget* parent = nullptr);

    // A live entry at the end; the newest text is scrolled into view.
    void AppendEntry(const Entry& entry);

    // Whether entries appended from now on carry their privacy and delivery marks.
    void SetMarksShown(bool shown) { marksShown_ = shown; }
    // The words of a mark: "private, delivered", "unverified", "open", ...
    static QString MarkText(const TextMark& mark, bool outgoing);
    // The entry of the private text with this ID shows the new mark.
    void SetMark(const TextMark& mark);

    // Stored entries, oldest first: at the end (before the separator), or before all
    // others (an earlier page), keeping in view what was in view.
    void AppendStoredEntries(const QList<HistoryEntry>& entries);
    void PrependStoredEntries(const QList<HistoryEntry>& entries);
    void AppendSeparator();
    // A line of its own at the end, centred and faded, that is no entry.
    void AppendNotice(const QString& text);
    // A stored entry as shown: the head " YYYY-MM-DD HH:MM Name: ", in local time.
    static Entry StoredEntry(const HistoryEntry& entry);

    // Marks what a search for `words` found in the texts of the entries `ids`: the words
    // that match (the whole text where none does) in the colours of a selection, strongly
    // in `current`, lightly in the others. An empty list takes the marks away.
    void HighlightEntries(const QList<qint64>& ids, qint64 current, const QString& words = {});
    void ScrollToEntry(qint64 id);

    // The history's first share of the window: 83 pixels high.
    QSize sizeHint() const override { return {350, 83}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where an entry lies: its first block, counted from base_, how many it spans, and
    // where its text starts, counted from the entry's first character.
    struct Place {
        int firstBlock = 0;
        int blocks = 0;
        int textOffset = 0;
    };

    // The colours of the mark and of the line, by direction (0 received, 1 sent), for the
    // background they were chosen against.
    struct EntryColours {
        QColor background;
        QColor mark[2];
        QColor line[2];
    };

    // Blue for received, green for sent, in the shade nearest to them that stands out from
    // the history's background. Chosen again only when the background changed.
    const EntryColours& Colours() const;
    // Inserts an entry at `at` (which moves past it); returns the blocks it took.
    int InsertEntry(QTextCursor& at, const Entry& entry);
    void AppendAtEnd(const Entry& entry);
    void ScrollToNewest();
    void Note(const Entry& entry, int firstBlock, int blocks);
    QTextCursor EntryCursor(qint64 id) const;
    // Draws what an entry's text does not hold: the times and the separator's rules.
    void PaintEntryMarks(QPainter& painter);

    mutable EntryColours colours_;
    QHash<qint64, Place> places_;
    // Blocks put before the first one: a block's number minus base_ stays what was noted.
    int base_ = 0;
    bool marksShown_ = false;
};

}  // namespace tollix
