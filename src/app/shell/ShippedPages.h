#pragma once
// The pages the program ships (help, banner) live in its resources and are
// written into the program directory when they are missing there, so that
// the desktop's browser and the program's panes can open them as files.

#include <QString>

namespace zorvik::app {

// The path of the shipped page `name` ("zorvik.htm") in the program
// directory, written there first when missing; empty when it cannot be.
QString ShippedPage(const QString& name);

}  // namespace zorvik::app
