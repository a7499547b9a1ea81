#pragma once
// "Save to.....": the chooser of the folder saved pages and pictures go to.
// The mounted file systems stand for the drive list (Drive1); choosing one
// shows its folders in the folder tree (Dir1); "&Save" takes the folder
// selected there. Closing the window any other way chooses nothing.

#include <QDialog>
#include <memory>
#include <optional>

class QFileSystemModel;

namespace Ui {
class savedirs;
}

namespace zorvik::app {

class savedirs : public QDialog {
  Q_OBJECT
 public:
  // Starts at `initialFolder` (when it exists), else the home folder.
  explicit savedirs(const QString& initialFolder, QWidget* parent = nullptr);
  ~savedirs() override;

  // The folder chosen with "&Save", without a trailing separator.
  std::optional<QString> Chosen() const { return chosen_; }
  // The folder Dir1 shows as selected.
  QString Dir1Path() const;
  void SetDir1Path(const QString& folder);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Drive1_Change();
  void Command1_Click();

  std::unique_ptr<Ui::savedirs> ui_;
  QFileSystemModel* model_;
  std::optional<QString> chosen_;
};

}  // namespace zorvik::app
