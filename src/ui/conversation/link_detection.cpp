#include "ui/conversation/link_detection.h"

#include <QRegularExpression>
#include <QTextCharFormat>

namespace tollix {

namespace {

const QRegularExpression& LinkPattern() {
    // The prefix may not follow a letter or digit, so "awww.x" and "xhttp://y" are not links;
    // at least one character must follow it.
    static const QRegularExpression pattern(
        QStringLiteral(R"((?<![\w])(?:https?://|ftp://|www\.|mailto:|file:)[^\s<>"]+)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

bool IsPrefixOnly(const QString& link) {
    static const QStringList prefixes{QStringLiteral("http://"), QStringLiteral("https://"),
                                      QStringLiteral("ftp://"),  QStringLiteral("www."),
                                      QStringLiteral("mailto:"), QStringLiteral("file:")};
    for (const QString& prefix : prefixes) {
        if (link.compare(prefix, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// Punctuation after an address usually ends the sentence, not the address. A closing
// bracket stays when the address opened one (wiki-style addresses).
qsizetype TrimmedLength(const QString& link) {
    qsizetype length = link.size();
    while (length > 0) {
        const QChar last = link.at(length - 1);
        if (QStringLiteral(".,;:!?'").contains(last)) {
            --length;
        } else if (last == u')' && !link.left(length - 1).contains(u'(')) {
            --length;
        } else {
            break;
        }
    }
    return length;
}

}  // namespace

std::vector<LinkSpan> FindLinks(const QString& text) {
    std::vector<LinkSpan> links;
    QRegularExpressionMatchIterator matches = LinkPattern().globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString link = match.captured().left(TrimmedLength(match.captured()));
        if (!IsPrefixOnly(link) && !link.isEmpty()) {
            links.push_back({match.capturedStart(), link.size(), link});
        }
    }
    return links;
}

QUrl LinkTarget(const QString& link) {
    if (link.startsWith(QStringLiteral("www."), Qt::CaseInsensitive)) {
        return QUrl(QStringLiteral("http://") + link, QUrl::TolerantMode);
    }
    return QUrl(link, QUrl::TolerantMode);
}

LinkHighlighter::LinkHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void LinkHighlighter::highlightBlock(const QString& text) {
    QTextCharFormat link;
    link.setFontUnderline(true);
    for (const LinkSpan& span : FindLinks(text)) {
        setFormat(static_cast<int>(span.start), static_cast<int>(span.length), link);
    }
}

}  // namespace tollix
