#include "ui/conversation/dialog_view.h"

#include <QAbstractTextDocumentLayout>
#include <QPalette>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

#include "ui/common/readable_colour.h"

namespace tollix {

namespace {

// The property of a mark's characters that holds its private text's ID.
constexpr int kTextIdProperty = QTextFormat::UserProperty + 1;

TextMark MarkOf(const HistoryEntry& entry) {
    return {entry.privacy, entry.delivery, entry.textId.toStdString()};
}

// Texts from other systems may break lines with CR LF or CR alone.
QString WithLineFeeds(const QString& line) {
    QString text = line;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

}  // namespace

const CDialogView::EntryColours& CDialogView::Colours() const {
    const QColor background = palette().color(QPalette::Base);
    if (colours_.background != background) {
        const QColor green(0, 153, 0);
        colours_ = {background,
                    {ReadableOn(QColor(0, 0, 255), background), ReadableOn(green, background)},
                    {ReadableOn(QColor(0, 0, 153), background), ReadableOn(green, background)}};
    }
    return colours_;
}

CDialogView::CDialogView(QWidget* parent) : CRichEditPane(parent) {
    setReadOnly(true);
    // Selectable by keyboard as well, so that F6 into the history and Ctrl+C copy.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Appended entries must not be taken back by an undo in the history.
    setUndoRedoEnabled(false);
    // The history stands apart from the white input pane in the colour of an inactive
    // window's frame.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Inactive, QPalette::Window));
    setPalette(colours);
}

void CDialogView::AppendEntry(bool outgoing, const QString& line, qint64 id, const TextMark& mark) {
    AppendAtEnd(outgoing, line, id, mark);
    ScrollToNewest();
}

void CDialogView::AppendAtEnd(bool outgoing, const QString& line, qint64 id, const TextMark& mark) {
    // A cursor of its own: the user's caret and selection in the history stay as they are.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    const int first = end.blockNumber();
    Note(id, first, InsertEntry(end, outgoing, line, mark));
}

QString CDialogView::MarkText(const TextMark& mark, bool outgoing) {
    if (mark.privacy != Privacy::Private || !outgoing) {
        return QString::fromLatin1(PrivacyName(mark.privacy));
    }
    switch (mark.delivery) {
        case Delivery::Sending:
            return QStringLiteral("private, sending");
        case Delivery::Delivered:
            return QStringLiteral("private, delivered");
        case Delivery::Waiting:
            return QStringLiteral("private, waiting");
        case Delivery::Cancelled:
            return QStringLiteral("cancelled, not sent");
        default:
            return QStringLiteral("private");
    }
}

void CDialogView::SetMark(const TextMark& mark) {
    const QString id = QString::fromStdString(mark.id);
    // Newest first: a mark changes soon after its text was shown.
    for (QTextBlock block = document()->lastBlock(); block.isValid(); block = block.previous()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextFragment piece = fragment.fragment();
            if (piece.charFormat().property(kTextIdProperty).toString() != id) {
                continue;
            }
            QTextCursor cursor(document());
            cursor.setPosition(piece.position());
            cursor.setPosition(piece.position() + piece.length(), QTextCursor::KeepAnchor);
            cursor.insertText(QStringLiteral("  [%1]").arg(MarkText(mark, true)),
                              piece.charFormat());
            return;
        }
    }
}

void CDialogView::ScrollToNewest() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString CDialogView::StoredLine(const HistoryEntry& entry) {
    return QStringLiteral(" %1 %2: %3")
        .arg(entry.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             entry.SenderName(), entry.text);
}

int CDialogView::InsertEntry(QTextCursor& at, bool outgoing, const QString& line,
                             const TextMark& textMark) {
    // Explicit colours on mark and line, so that neither takes the format of its neighbour.
    const int first = at.blockNumber();
    QTextCharFormat mark;
    const EntryColours& colours = Colours();
    mark.setForeground(colours.mark[outgoing ? 1 : 0]);
    at.insertText(QString(outgoing ? kSentMark : kReceivedMark), mark);
    QTextCharFormat text;
    text.setForeground(colours.line[outgoing ? 1 : 0]);
    at.insertText(WithLineFeeds(line), text);
    if (marksShown_) {
        QTextCharFormat faded;
        faded.setForeground(palette().color(QPalette::PlaceholderText));
        if (!textMark.id.empty()) {
            faded.setProperty(kTextIdProperty, QString::fromStdString(textMark.id));
        }
        at.insertText(QStringLiteral("  [%1]").arg(MarkText(textMark, outgoing)), faded);
    }
    at.insertText(QStringLiteral("\n"), text);
    return at.blockNumber() - first;
}

void CDialogView::AppendStoredEntries(const QList<HistoryEntry>& entries) {
    for (const HistoryEntry& entry : entries) {
        AppendAtEnd(entry.outgoing, StoredLine(entry), entry.id, MarkOf(entry));
    }
    ScrollToNewest();
}

void CDialogView::PrependStoredEntries(const QList<HistoryEntry>& entries) {
    if (entries.isEmpty()) {
        return;
    }
    // What is at the top of the pane stays there: its block and how far it is scrolled in.
    QAbstractTextDocumentLayout& layout = *document()->documentLayout();
    const QTextBlock top = cursorForPosition(QPoint(0, 0)).block();
    const int topNumber = top.blockNumber();
    // (The document's margin above the first block is not kept.)
    const int scrolledIn = std::max(
        0, verticalScrollBar()->value() - static_cast<int>(layout.blockBoundingRect(top).top()));

    QTextCursor start(document());
    QList<std::pair<qint64, Place>> placed;
    for (const HistoryEntry& entry : entries) {
        const int first = start.blockNumber();
        placed.append(
            {entry.id,
             {first, InsertEntry(start, entry.outgoing, StoredLine(entry), MarkOf(entry))}});
    }
    const int added = start.blockNumber();
    base_ += added;
    for (const auto& [id, place] : placed) {
        Note(id, place.firstBlock, place.blocks);
    }
    const QTextBlock moved = document()->findBlockByNumber(topNumber + added);
    document()->documentLayout()->documentSize();  // lays the whole text out
    verticalScrollBar()->setValue(static_cast<int>(layout.blockBoundingRect(moved).top()) +
                                  scrolledIn);
}

void CDialogView::AppendNotice(const QString& text) {
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    end.setBlockFormat(centred);
    QTextCharFormat faded;
    faded.setForeground(palette().color(QPalette::PlaceholderText));
    end.insertText(text, faded);
    // The live entries below start with the pane's own formats.
    end.insertBlock(QTextBlockFormat(), QTextCharFormat());
    ScrollToNewest();
}

void CDialogView::Note(qint64 id, int firstBlock, int blocks) {
    if (id > 0) {
        places_.insert(id, {firstBlock - base_, blocks});
    }
}

QTextCursor CDialogView::EntryCursor(qint64 id) const {
    const auto place = places_.constFind(id);
    if (place == places_.cend()) {
        return {};
    }
    const QTextBlock first = document()->findBlockByNumber(place->firstBlock + base_);
    const QTextBlock last =
        document()->findBlockByNumber(place->firstBlock + base_ + place->blocks - 1);
    QTextCursor entry(document());
    entry.setPosition(first.position());
    entry.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    return entry;
}

void CDialogView::HighlightEntries(const QList<qint64>& ids, qint64 current) {
    const QColor strong = palette().color(QPalette::Highlight);
    QColor light = strong;
    light.setAlpha(80);
    QList<ExtraSelection> marks;
    for (qint64 id : ids) {
        const QTextCursor entry = EntryCursor(id);
        if (entry.isNull()) {
            continue;
        }
        ExtraSelection mark;
        mark.cursor = entry;
        if (id == current) {
            mark.format.setBackground(strong);
            mark.format.setForeground(palette().color(QPalette::HighlightedText));
        } else {
            mark.format.setBackground(light);
        }
        marks.append(mark);
    }
    setExtraSelections(marks);
}

void CDialogView::ScrollToEntry(qint64 id) {
    const QTextCursor entry = EntryCursor(id);
    if (entry.isNull()) {
        return;
    }
    document()->documentLayout()->documentSize();
    const QRectF place =
        document()->documentLayout()->blockBoundingRect(document()->findBlock(entry.anchor()));
    // A little of the entry before it shows too.
    verticalScrollBar()->setValue(static_cast<int>(place.top()) - viewport()->height() / 4);
}

}  // namespace tollix
