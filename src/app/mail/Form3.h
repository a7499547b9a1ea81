#pragma once
// "No Recipient......": asks for the recipient of a message that has none.
// "&OK" keeps what the "Recipient:" field holds and closes the window.

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class Form3;
}

namespace zorvik::app {

class QtHost;

class Form3 : public QDialog {
  Q_OBJECT
 public:
  explicit Form3(QWidget* parent = nullptr);
  ~Form3() override;

  // Shows the window modally through the host (so that a window going away
  // closes it); the recipient when "&OK" closed it, else "".
  std::string Ask(QtHost& host);

 private:
  std::unique_ptr<Ui::Form3> ui_;
};

}  // namespace zorvik::app
