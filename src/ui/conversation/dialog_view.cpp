#include "ui/conversation/dialog_view.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "ui/common/readable_colour.h"
#include "ui/conversation/search_matches.h"

namespace tollix {

namespace {

// Space above every entry, and between a time at the right edge and the text beside it.
constexpr int kEntrySpacing = 3;
constexpr int kTimeGap = 8;
// The times are drawn this much smaller than the text.
constexpr double kTimeScale = 0.85;
// The property of a mark's characters that holds its private text's ID.
constexpr int kTextIdProperty = QTextFormat::UserProperty + 3;

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

QFont TimeFont(const QFont& font) {
    QFont small = font;
    small.setPointSizeF(font.pointSizeF() * kTimeScale);
    return small;
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

void CDialogView::AppendEntry(const Entry& entry) {
    AppendAtEnd(entry);
    ScrollToNewest();
}

void CDialogView::AppendAtEnd(const Entry& entry) {
    // A cursor of its own: the user's caret and selection in the history stay as they are.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    const int first = end.blockNumber();
    Note(entry, first, InsertEntry(end, entry));
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

CDialogView::Entry CDialogView::StoredEntry(const HistoryEntry& entry) {
    const QString when = entry.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return {entry.outgoing,
            QStringLiteral(" %1 %2: ").arg(when, entry.SenderName()),
            entry.text,
            entry.id,
            {},
            MarkOf(entry)};
}

int CDialogView::InsertEntry(QTextCursor& at, const Entry& entry) {
    const int first = at.blockNumber();
    // What follows the entry (the block it is put before) keeps its own format.
    const QTextBlockFormat following = at.blockFormat();

    // Every line of the entry starts past the mark; its first line at the mark, which
    // hangs out to the left. A time at the right edge keeps the text beside it clear.
    const QString mark(entry.outgoing ? kSentMark : kReceivedMark);
    const qreal indent = QFontMetricsF(font()).horizontalAdvance(mark + u' ');
    QTextBlockFormat firstLine;
    firstLine.setLeftMargin(indent);
    firstLine.setTextIndent(-indent);
    firstLine.setTopMargin(kEntrySpacing);
    if (entry.shownAt.isValid()) {
        const QString time = entry.shownAt.toString(QStringLiteral("HH:mm"));
        firstLine.setProperty(kTimeProperty, time);
        firstLine.setRightMargin(QFontMetricsF(TimeFont(font())).horizontalAdvance(time) +
                                 kTimeGap);
    }
    QTextBlockFormat nextLines;
    nextLines.setLeftMargin(indent);

    // Explicit colours on mark and line, so that neither takes the format of its neighbour.
    const EntryColours& colours = Colours();
    QTextCharFormat markFormat;
    markFormat.setForeground(colours.mark[entry.outgoing ? 1 : 0]);
    QTextCharFormat lineFormat;
    lineFormat.setForeground(colours.line[entry.outgoing ? 1 : 0]);

    at.setBlockFormat(firstLine);
    at.insertText(mark, markFormat);
    const QStringList lines = WithLineFeeds(entry.head + entry.text).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            at.insertBlock(nextLines, lineFormat);
        }
        at.insertText(lines[i], lineFormat);
    }
    if (marksShown_) {
        QTextCharFormat faded;
        faded.setForeground(palette().color(QPalette::PlaceholderText));
        if (!entry.mark.id.empty()) {
            faded.setProperty(kTextIdProperty, QString::fromStdString(entry.mark.id));
        }
        at.insertText(QStringLiteral("  [%1]").arg(MarkText(entry.mark, entry.outgoing)), faded);
    }
    at.insertBlock(following, QTextCharFormat());
    return at.blockNumber() - first;
}

void CDialogView::AppendStoredEntries(const QList<HistoryEntry>& entries) {
    for (const HistoryEntry& entry : entries) {
        AppendAtEnd(StoredEntry(entry));
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
    QList<std::pair<Entry, std::pair<int, int>>> placed;
    for (const HistoryEntry& stored : entries) {
        const Entry entry = StoredEntry(stored);
        const int first = start.blockNumber();
        placed.append({entry, {first, InsertEntry(start, entry)}});
    }
    const int added = start.blockNumber();
    base_ += added;
    for (const auto& [entry, place] : placed) {
        Note(entry, place.first, place.second);
    }
    const QTextBlock moved = document()->findBlockByNumber(topNumber + added);
    document()->documentLayout()->documentSize();  // lays the whole text out
    verticalScrollBar()->setValue(static_cast<int>(layout.blockBoundingRect(moved).top()) +
                                  scrolledIn);
}

void CDialogView::AppendSeparator() {
    AppendNotice(QString::fromLatin1(kSeparator));
    // The notice's block is the one before the empty last block.
    QTextCursor separator(document()->lastBlock().previous());
    QTextBlockFormat format = separator.blockFormat();
    format.setProperty(kRulesProperty, true);
    separator.setBlockFormat(format);
}

void CDialogView::AppendNotice(const QString& text) {
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setTopMargin(kEntrySpacing);
    end.setBlockFormat(centred);
    QTextCharFormat faded;
    faded.setForeground(palette().color(QPalette::PlaceholderText));
    end.insertText(text, faded);
    // The live entries below start with the pane's own formats.
    end.insertBlock(QTextBlockFormat(), QTextCharFormat());
    ScrollToNewest();
}

void CDialogView::Note(const Entry& entry, int firstBlock, int blocks) {
    if (entry.id > 0) {
        places_.insert(entry.id,
                       {firstBlock - base_, blocks, static_cast<int>(1 + entry.head.size())});
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
    entry.setPosition(first.position() + place->textOffset);
    entry.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    return entry;
}

void CDialogView::HighlightEntries(const QList<qint64>& ids, qint64 current, const QString& words) {
    const QColor strong = palette().color(QPalette::Highlight);
    QColor light = strong;
    light.setAlpha(80);
    QList<ExtraSelection> marks;
    for (qint64 id : ids) {
        const QTextCursor text = EntryCursor(id);
        if (text.isNull()) {
            continue;
        }
        ExtraSelection mark;
        if (id == current) {
            mark.format.setBackground(strong);
            mark.format.setForeground(palette().color(QPalette::HighlightedText));
        } else {
            mark.format.setBackground(light);
        }
        QList<TextSpan> found = MatchedWords(text.selectedText(), words);
        if (found.isEmpty()) {
            found.append({0, text.selectionEnd() - text.selectionStart()});
        }
        for (const TextSpan& word : found) {
            mark.cursor = QTextCursor(document());
            mark.cursor.setPosition(text.selectionStart() + static_cast<int>(word.start));
            mark.cursor.setPosition(
                text.selectionStart() + static_cast<int>(word.start + word.length),
                QTextCursor::KeepAnchor);
            marks.append(mark);
        }
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

void CDialogView::paintEvent(QPaintEvent* event) {
    CRichEditPane::paintEvent(event);
    QPainter painter(viewport());
    PaintEntryMarks(painter);
}

void CDialogView::PaintEntryMarks(QPainter& painter) {
    const QPointF scrolled(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const qreal margin = document()->documentMargin();
    const qreal right = viewport()->width() - margin;
    const QFont timeFont = TimeFont(font());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    for (QTextBlock block = cursorForPosition(QPoint(0, 0)).block(); block.isValid();
         block = block.next()) {
        const QTextLayout* lines = block.layout();
        if (lines == nullptr || lines->lineCount() == 0) {
            continue;
        }
        const QPointF origin = lines->position() + scrolled;
        if (origin.y() > viewport()->height()) {
            break;
        }
        const QRectF firstLine = lines->lineAt(0).naturalTextRect().translated(origin);
        const QTextBlockFormat format = block.blockFormat();
        if (const QVariant time = format.property(kTimeProperty); time.isValid()) {
            painter.setFont(timeFont);
            const QRectF row(margin, firstLine.top(), right - margin, firstLine.height());
            painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter, time.toString());
        }
        if (format.boolProperty(kRulesProperty)) {
            // Thin rules from the pane's edges to a little before and after the text.
            const qreal y = std::floor(firstLine.center().y()) + 0.5;
            const qreal gap = QFontMetricsF(font()).averageCharWidth();
            painter.drawLine(QPointF(margin, y), QPointF(firstLine.left() - gap, y));
            painter.drawLine(QPointF(firstLine.right() + gap, y), QPointF(right, y));
        }
    }
}

}  // namespace tollix
