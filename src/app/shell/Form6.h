#pragma once
// The update window: a thin window over UpdateCheck. Opening it starts a
// check; "Download" saves a newer archive into the program directory;
// closing it stops whatever transfer runs.

#include <QDialog>
#include <memory>

#include "shell/UpdateCheck.h"

namespace Ui {
class Form6;
}

namespace zorvik::app {

class Form6 : public QDialog {
  Q_OBJECT
 public:
  // `inet1` (the main window's transfer component) must outlive the window.
  Form6(Inet& inet1, std::string versionFileUrl, QWidget* parent = nullptr);
  ~Form6() override;

  UpdateCheck& Model() { return *model_; }

 private:
  void Sync();

  std::unique_ptr<Ui::Form6> ui_;
  std::unique_ptr<UpdateCheck> model_;
};

}  // namespace zorvik::app
