#include "app/robot/ListPicker.h"

#include "app/shell/WindowPlacement.h"
#include "ui_ListPicker.h"

namespace zorvik::app {

ListPicker::ListPicker(const QString& caption, const std::vector<std::string>& items, const QString& buttonText,
                       QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ListPicker>()) {
  ui_->setupUi(this);
  setWindowTitle(caption);
  setObjectName(caption == "FFA Categories" ? "FFANum" : caption == "Search Options" ? "S_options" : "ListPicker");
  ui_->Command1->setText(buttonText);
  for (const std::string& item : items) ui_->List1->addItem(QString::fromStdString(item));
  connect(ui_->Command1, &QPushButton::clicked, this, &ListPicker::Command1_Click);
}

ListPicker::~ListPicker() = default;

void ListPicker::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}

void ListPicker::Command1_Click() {
  const QListWidgetItem* selected = ui_->List1->currentItem();
  if (selected != nullptr && selected->isSelected()) {
    pick_ = {ListPick::Outcome::Chosen, selected->text().toStdString()};
  } else {
    pick_ = {ListPick::Outcome::NoSelection, {}};
  }
  accept();
}

}  // namespace zorvik::app
