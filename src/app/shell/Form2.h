#pragma once
// The About box: the program's name, version and build, and a button that
// opens the program's web page with the desktop's handler.

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class Form2;
}

namespace zorvik {
class Host;
}

namespace zorvik::app {

class Form2 : public QDialog {
  Q_OBJECT
 public:
  Form2(Host& host, std::string productPage, QWidget* parent = nullptr);
  ~Form2() override;

 private:
  std::unique_ptr<Ui::Form2> ui_;
  Host& host_;
  std::string productPage_;
};

}  // namespace zorvik::app
