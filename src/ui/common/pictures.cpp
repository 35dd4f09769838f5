#include "ui/common/pictures.h"

#include <QHash>
#include <array>

namespace tollix::pictures {

namespace {

QIcon Cached(const char* path) {
    // Icons are shared values; loading each once keeps the tree's painting cheap.
    static QHash<QString, QIcon> cache;
    const QString key = QString::fromLatin1(path);
    auto found = cache.find(key);
    if (found == cache.end()) {
        found = cache.insert(key, QIcon(key));
    }
    return *found;
}

template <std::size_t N>
QIcon FromStrip(const std::array<const char*, N>& strip, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= strip.size()) {
        return {};
    }
    return Cached(strip[static_cast<std::size_t>(index)]);
}

}  // namespace

QIcon Program() {
    return Cached(":/icons/tollix.svg");
}

QIcon TreePicture(int index) {
    static constexpr std::array kStrip{":/icons/person.svg", ":/icons/person-away.svg",
                                       ":/icons/folder.svg"};
    return FromStrip(kStrip, index);
}

QIcon ToolbarPicture(int index) {
    static constexpr std::array kStrip{":/icons/connect-offline.svg", ":/icons/settings.svg",
                                       ":/icons/connect-online.svg", ":/icons/connect-away.svg"};
    return FromStrip(kStrip, index);
}

QIcon MessageHistory() {
    return Cached(":/icons/history.svg");
}

}  // namespace tollix::pictures
