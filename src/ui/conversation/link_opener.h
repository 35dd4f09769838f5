#pragma once

#include <QUrl>
#include <functional>

namespace tollix {

// How a clicked link is opened. The default hands it to the desktop's handler for its kind
// of address (browser, mail program, file manager); tests put a recorder in its place.
using LinkOpener = std::function<void(const QUrl& url)>;

// Replaces the opener of every pane and returns the one it replaces. An empty opener
// brings back the desktop's handler.
LinkOpener ReplaceLinkOpener(LinkOpener opener);

// Opens `url` with the current opener, showing the wait cursor meanwhile. Whether the
// desktop could open it is not looked at: a link that cannot be opened changes nothing.
void OpenLinkTarget(const QUrl& url);

}  // namespace tollix
