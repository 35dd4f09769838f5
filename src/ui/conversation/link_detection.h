#pragma once

#include <QString>
#include <QSyntaxHighlighter>
#include <QUrl>
#include <vector>

class QTextDocument;

namespace tollix {

// A web address found in a pane's text: its place in the text and the text itself.
struct LinkSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    QString text;
};

// The addresses in `text` that the panes show as links: anything that starts with
// "http://", "https://", "ftp://", "www.", "mailto:" or "file:" (letter case ignored) at
// the start of a word, up to the next blank, control character or one of < > " and
// without the punctuation that usually ends a sentence after it.
std::vector<LinkSpan> FindLinks(const QString& text);

// What opening a link asks the desktop for: "www." addresses become http addresses.
QUrl LinkTarget(const QString& link);

// Underlines the links of every block of a document. The underline is a layout format,
// not part of the text, so it neither touches the undo history nor changes the colours
// of the text it marks.
class LinkHighlighter : public QSyntaxHighlighter {
    Q_OBJECT

public:
    explicit LinkHighlighter(QTextDocument* document);

protected:
    void highlightBlock(const QString& text) override;
};

}  // namespace tollix
