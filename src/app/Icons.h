#pragma once
// The program's pictures, drawn in code: the tree's six images, the
// toolbars' buttons, the busy animation's frames and the program's icon.

#include <QIcon>
#include <QPixmap>

namespace zorvik::app {

enum class IconName {
  // The tree's images, in the order of their numbers (1..6).
  TreeMatch,
  TreeFailed,
  TreeAbsolute,
  TreeRelative,
  TreeResource,
  TreeRoot,
  // Toolbars.
  Search,
  Stop,
  Back,
  Forward,
  Refresh,
  Home,
  // The program.
  Program,
};

QIcon DrawnIcon(IconName name);
// The tree image with the number a tree entry carries (1..6); an empty
// icon for any other number.
QIcon TreeIcon(int image);

// The busy animation: kBusyFrames frames (0 ..), and the picture shown
// while idle (any negative frame).
inline constexpr int kBusyFrames = 8;
QPixmap BusyFrame(int frame, int size = 24);

}  // namespace zorvik::app
