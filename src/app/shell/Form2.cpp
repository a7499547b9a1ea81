#include "app/shell/Form2.h"

#include "core/Host.h"
#include "core/Version.h"
#include "ui_Form2.h"

namespace zorvik::app {

Form2::Form2(Host& host, std::string productPage, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Form2>()), host_(host), productPage_(std::move(productPage)) {
  ui_->setupUi(this);
  ui_->lblVersion->setText(QStringLiteral("Version %1").arg(kVersion));
  ui_->lblBuild->setText(QStringLiteral("Build %1").arg(kBuild));
  ui_->cmdWebPage->setToolTip(QString::fromStdString(productPage_));
  connect(ui_->cmdWebPage, &QPushButton::clicked, this, [this] { host_.ShellOpen(productPage_); });
  connect(ui_->cmdOK, &QPushButton::clicked, this, &QDialog::close);
}

Form2::~Form2() = default;

}  // namespace zorvik::app
