#pragma once
// The modal list pickers: "FFA Categories" (FFANum) and "Search Options"
// (S_options). One list, one button; the button reports the selected item
// (or none), the close box reports that the window was closed. Each appears
// in the middle of the screen.

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "core/Host.h"

namespace Ui {
class ListPicker;
}

namespace zorvik::app {

class ListPicker : public QDialog {
  Q_OBJECT
 public:
  // The window's object name follows its caption: "FFANum" for "FFA
  // Categories", "S_options" for "Search Options".
  ListPicker(const QString& caption, const std::vector<std::string>& items, const QString& buttonText,
             QWidget* parent = nullptr);
  ~ListPicker() override;

  // What the window ended with; Closed until the button is pressed.
  ListPick Pick() const { return pick_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Command1_Click();

  std::unique_ptr<Ui::ListPicker> ui_;
  ListPick pick_;
};

}  // namespace zorvik::app
