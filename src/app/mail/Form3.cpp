#include "app/mail/Form3.h"

#include "app/QtHost.h"
#include "ui_Form3.h"

namespace zorvik::app {

Form3::Form3(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::Form3>()) {
  ui_->setupUi(this);
  connect(ui_->Command1, &QPushButton::clicked, this, &QDialog::accept);
}

Form3::~Form3() = default;

std::string Form3::Ask(QtHost& host) {
  if (host.RunDialog(*this) != QDialog::Accepted) return {};
  return ui_->Text1->text().toStdString();
}

}  // namespace zorvik::app
