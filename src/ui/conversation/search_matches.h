#pragma once

#include <QList>
#include <QString>

namespace tollix {

// A piece of a text: its first character and its length.
struct TextSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const TextSpan&) const = default;
};

// The words of `text` that a search for `typed` found, in order: those that start with one
// of the words typed, whatever the letter case and accents, as the history's search
// matches them (letters, digits and marks make words; everything else separates them).
QList<TextSpan> MatchedWords(const QString& text, const QString& typed);

}  // namespace tollix
