#include "app/shell/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace zorvik::app {

QPoint CentredOnScreen(const QRect& screen, const QSize& window) {
  return {screen.left() + (screen.width() - window.width()) / 2, screen.top() + (screen.height() - window.height()) / 2};
}

QPoint OverMainWindow(const QRect& mainWindow, const QSize& dialog) {
  return {mainWindow.left() + (mainWindow.width() - dialog.width()) / 2, mainWindow.top() + mainWindow.height() / 5};
}

namespace {

QSize OuterSize(QWidget& window) {
  // Before the first showing the frame is unknown, and a window nobody
  // sized gets its size from its layout only then.
  if (!window.isVisible()) {
    if (!window.testAttribute(Qt::WA_Resized)) window.adjustSize();
    return window.size();
  }
  return window.frameGeometry().size();
}

}  // namespace

void CentreOnScreen(QWidget& window) {
  const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  window.move(CentredOnScreen(screen->availableGeometry(), OuterSize(window)));
}

void PlaceOverMainWindow(QWidget& dialog, const QWidget* mainWindow) {
  if (mainWindow == nullptr || !mainWindow->isVisible()) {
    CentreOnScreen(dialog);
    return;
  }
  dialog.move(OverMainWindow(mainWindow->frameGeometry(), OuterSize(dialog)));
}

}  // namespace zorvik::app
