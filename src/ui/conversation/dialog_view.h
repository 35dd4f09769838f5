#pragma once

#include <QColor>
#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QTextCursor>

#include "core/text_mark.h"
#include "history/history_entry.h"
#include "ui/conversation/rich_edit_pane.h"

namespace tollix {

// The history pane of a conversation: read-only, one coloured entry per message, oldest
// first. An entry is a direction mark followed by the line " Name: text" and one line
// break; line breaks inside the text start new lines within the entry, in its colour.
//
// Above the entries of this session it may show stored ones, in the same colours and
// marks with their date and time, and below those a separator line "Earlier messages".
// Entries with a history id can be found again, highlighted and scrolled to.
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

    explicit CDialogView(QWidget* parent = nullptr);

    // A live entry at the end: the mark, then `line` and one line break in the entry's
    // colour; `id` (when not 0) finds it again. The newest text is scrolled into view.
    void AppendEntry(bool outgoing, const QString& line, qint64 id, const TextMark& mark = {});

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
    void AppendSeparator() { AppendNotice(QString::fromLatin1(kSeparator)); }
    // A line of its own at the end, centred and faded, that is no entry.
    void AppendNotice(const QString& text);
    // The line of a stored entry: " YYYY-MM-DD HH:MM Name: text", in local time.
    static QString StoredLine(const HistoryEntry& entry);

    // Marks the entries in the colours of a selection: `current` strongly, the others
    // lightly; an empty list takes the marks away.
    void HighlightEntries(const QList<qint64>& ids, qint64 current);
    void ScrollToEntry(qint64 id);

    // The history's first share of the window: 83 pixels high.
    QSize sizeHint() const override { return {350, 83}; }

private:
    // Where an entry lies: its first block, counted from base_, and how many it spans.
    struct Place {
        int firstBlock = 0;
        int blocks = 0;
    };

    // The colours of the mark and of the line, by direction (0 received, 1 sent), for the
    // background they were chosen against.
    struct EntryColours {
        QColor background;
        QColor mark[2];
        QColor line[2];
    };

    // Blue for received, green for sent; lighter variants where the theme makes the
    // history dark, so that they stay readable on it. Chosen again only when the
    // background changed.
    const EntryColours& Colours() const;
    // Inserts an entry at `at` (which moves past it); returns the blocks it took.
    int InsertEntry(QTextCursor& at, bool outgoing, const QString& line, const TextMark& mark);
    void AppendAtEnd(bool outgoing, const QString& line, qint64 id, const TextMark& mark);
    void ScrollToNewest();
    void Note(qint64 id, int firstBlock, int blocks);
    QTextCursor EntryCursor(qint64 id) const;

    mutable EntryColours colours_;
    QHash<qint64, Place> places_;
    // Blocks put before the first one: a block's number minus base_ stays what was noted.
    int base_ = 0;
    bool marksShown_ = false;
};

}  // namespace tollix
