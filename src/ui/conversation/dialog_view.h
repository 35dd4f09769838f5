#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QTextCharFormat>

#include "ui/conversation/rich_edit_pane.h"

namespace tollix {

// The history pane of a conversation: read-only, one coloured entry per message, oldest
// first. An entry is a direction mark followed by the line " Name: text" and one line
// break; line breaks inside the text start new lines within the entry, in its colour.
// Nothing else is ever written into it.
class CDialogView : public CRichEditPane {
    Q_OBJECT

public:
    static constexpr QChar kReceivedMark = QChar(0x25C4);  // black left-pointing pointer
    static constexpr QChar kSentMark = QChar(0x25BA);      // black right-pointing pointer

    // Blue for received, green for sent; lighter variants where the theme makes the
    // history dark, so that they stay readable on it.
    QColor MarkColour(bool outgoing) const;
    QColor LineColour(bool outgoing) const;

    explicit CDialogView(QWidget* parent = nullptr);

    // The mark of a sent or received message, in its colour, at the end of the text.
    void AppendDirectionMark(bool outgoing);
    // `line` in `format` at the end of the text, then one line break; the newest text is
    // scrolled into view.
    void AppendLine(const QString& line, const QTextCharFormat& format);

    // The history's first share of the window: 83 pixels high.
    QSize sizeHint() const override { return {350, 83}; }

private:
    QColor Background() const;
};

}  // namespace tollix
