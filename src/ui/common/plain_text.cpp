#include "ui/common/plain_text.h"

namespace tollix {

QString LiteralWindowTitle(const QString& title) {
    // Qt shows "[*][*]" as "[*]"; a lone one is the mark's place and vanishes.
    QString literal = title;
    literal.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return literal;
}

QString PlainToolTip(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    // Each line whole: a tooltip wraps a rich text at its own width otherwise.
    QString escaped = text.toHtmlEscaped();
    escaped.replace(u'\n', QStringLiteral("<br>"));
    return QStringLiteral("<p style='white-space:pre'>") + escaped + QStringLiteral("</p>");
}

}  // namespace tollix
