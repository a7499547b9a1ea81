#pragma once
// Where windows appear: centred on the screen, or a dialog over the main
// window (horizontally centred on it, a fifth of its height below its top).

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace zorvik::app {

// The windows' unit of measure in the layout rules: 15 to a pixel.
inline constexpr int kTwipsPerPixel = 15;
constexpr int Twips(int twips) { return twips / kTwipsPerPixel; }

// left = (screen width - width) / 2, top = (screen height - height) / 2,
// within the screen's available area.
QPoint CentredOnScreen(const QRect& screen, const QSize& window);
// left = main left + (main width - width) / 2, top = main top + main height / 5.
QPoint OverMainWindow(const QRect& mainWindow, const QSize& dialog);

// Moves a window to the centre of the screen it is on (the primary screen
// before it is shown).
void CentreOnScreen(QWidget& window);
// Moves a dialog over the main window; centred on the screen without one.
void PlaceOverMainWindow(QWidget& dialog, const QWidget* mainWindow);

}  // namespace zorvik::app
