#include "app/shell/Form6.h"

#include "app/shell/WindowPlacement.h"
#include "core/ProgramDirectory.h"
#include "ui_Form6.h"

namespace zorvik::app {

Form6::Form6(Inet& inet1, std::string versionFileUrl, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Form6>()) {
  ui_->setupUi(this);
  model_ = std::make_unique<UpdateCheck>(inet1, std::move(versionFileUrl), ProgramDirectory(),
                                         OwnRelease());
  model_->changed = [this] { Sync(); };
  connect(ui_->cmdCheck, &QPushButton::clicked, this, [this] { model_->cmdCheck_Click(); });
  connect(ui_->cmdDownload, &QPushButton::clicked, this, [this] { model_->cmdDownload_Click(); });
  connect(ui_->cmdClose, &QPushButton::clicked, this, &QDialog::close);
  CentreOnScreen(*this);
  model_->Form_Load();
  Sync();
}

Form6::~Form6() {
  // The model cancels a running transfer before the labels go.
  model_.reset();
}

void Form6::Sync() {
  ui_->lblStatus->setText(QString::fromStdString(model_->lblStatus));
  ui_->cmdCheck->setEnabled(model_->cmdCheckEnabled);
  ui_->cmdDownload->setEnabled(model_->cmdDownloadEnabled);
}

}  // namespace zorvik::app
