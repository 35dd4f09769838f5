#pragma once

#include <QString>

namespace tollix {

// Names and texts from the network are shown as they are. Boxes and labels are made
// Qt::PlainText where they are built (Qt takes a text that looks like HTML for rich text
// there, and reads an "image" such as <img src=/dev/zero> from the file it names); window
// titles need this: Qt takes "[*]" in a title for the place of the modified mark.

// `title` for setWindowTitle, shown with every "[*]" it holds.
QString LiteralWindowTitle(const QString& title);

// `text` for a tooltip, shown as it is, its lines kept: a tooltip that looks like HTML
// would be shown as rich text.
QString PlainToolTip(const QString& text);

}  // namespace tollix
