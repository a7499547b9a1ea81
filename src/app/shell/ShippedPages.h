#pragma once
// The pages the program ships (help, banner, information and home page) are
// files found by core's ShippedFile: a copy in the program directory, else
// the one beside the program (build tree) or installed in ../share/zorvik.
// A program run outside both still has them in its resources: they are then
// written into the program directory, so that the desktop's browser and the
// program's panes can open them as files.

#include <QString>

namespace zorvik::app {

// The path of the shipped page `name` ("zorvik.htm"); empty when there is
// none and it cannot be written.
QString ShippedPage(const QString& name);

}  // namespace zorvik::app
