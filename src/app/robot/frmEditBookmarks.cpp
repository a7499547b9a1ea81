#include "app/robot/frmEditBookmarks.h"

#include <QMessageBox>

#include "ui_frmEditBookmarks.h"

namespace zorvik::app {

frmEditBookmarks::frmEditBookmarks(const BookmarkFile& file, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::frmEditBookmarks>()), file_(file) {
  ui_->setupUi(this);
  const std::string text = file_.EditorText();
  ui_->text1->setPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  ui_->text1->document()->setModified(false);
  connect(ui_->Command1, &QPushButton::clicked, this, &frmEditBookmarks::Command1_Click);
}

frmEditBookmarks::~frmEditBookmarks() = default;

void frmEditBookmarks::Command1_Click() {
  // Unchanged text is not written: the file stays byte for byte as it was,
  // whatever its line ends or bytes.
  if (ui_->text1->document()->isModified() && !file_.SaveEditorText(ui_->text1->toPlainText().toStdString())) {
    QMessageBox::warning(this, windowTitle(),
                         "The bookmarks could not be saved to " + QString::fromStdString(file_.Path().string()));
    return;
  }
  accept();
}

}  // namespace zorvik::app
