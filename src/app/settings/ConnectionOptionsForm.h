#pragma once
// "Connection Options": every mail setting. A thin window over
// ConnectionOptionsModel: opening fills the boxes from the settings record,
// "Ok" hands them to the model, which checks and saves them.

#include <QDialog>
#include <functional>
#include <memory>

#include "settings/ConnectionOptionsModel.h"

namespace Ui {
class ConnectionOptionsForm;
}

namespace zorvik::app {

class ConnectionOptionsForm : public QDialog {
  Q_OBJECT
 public:
  // Saves into `settingsFile`; "Help" runs `showHelp`.
  ConnectionOptionsForm(Host& host, MailSettings& settings, const std::string& settingsFile,
                        std::function<void()> showHelp, QWidget* parent = nullptr);
  ~ConnectionOptionsForm() override;

  ConnectionOptionsModel& Model() { return model_; }

 private:
  void Show();
  void Take();
  void Ok_Click();
  void Command1_Click();

  std::unique_ptr<Ui::ConnectionOptionsForm> ui_;
  ConnectionOptionsModel model_;
};

}  // namespace zorvik::app
