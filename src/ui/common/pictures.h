#pragma once

#include <QIcon>

namespace tollix {

// Our own pictures, from the compiled-in resources.
namespace pictures {

QIcon Program();
// The contact tree's strip: 0 person, 1 faded person (away), 2 folder (group).
QIcon TreePicture(int index);
// The main toolbar's strip: 0 unplugged connector, 1 wrench, 2 plugged green connector,
// 3 blue sleep sign.
QIcon ToolbarPicture(int index);
QIcon MessageHistory();

}  // namespace pictures
}  // namespace tollix
