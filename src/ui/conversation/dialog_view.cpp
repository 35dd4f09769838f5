#include "ui/conversation/dialog_view.h"

#include <QPalette>
#include <QScrollBar>
#include <QTextCursor>

#include "ui/common/readable_colour.h"

namespace tollix {

QColor CDialogView::MarkColour(bool outgoing) const {
    return ReadableOn(outgoing ? QColor(0, 153, 0) : QColor(0, 0, 255), Background());
}

QColor CDialogView::LineColour(bool outgoing) const {
    return ReadableOn(outgoing ? QColor(0, 153, 0) : QColor(0, 0, 153), Background());
}

QColor CDialogView::Background() const {
    return palette().color(QPalette::Base);
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

void CDialogView::AppendDirectionMark(bool outgoing) {
    QTextCharFormat mark;
    mark.setForeground(MarkColour(outgoing));
    // A cursor of its own: the user's caret and selection in the history stay as they are.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(QString(outgoing ? kSentMark : kReceivedMark), mark);
}

void CDialogView::AppendLine(const QString& line, const QTextCharFormat& format) {
    // Texts from other systems may break lines with CR LF or CR alone.
    QString text = line;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(text + u'\n', format);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace tollix
