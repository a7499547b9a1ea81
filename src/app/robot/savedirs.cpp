#include "app/robot/savedirs.h"

#include <QDir>
#include <QFileSystemModel>
#include <QStorageInfo>

#include <algorithm>

#include "app/shell/WindowPlacement.h"
#include "ui_savedirs.h"

namespace zorvik::app {

namespace {

// The mounted file systems that hold folders, shortest path first.
QStringList MountPoints() {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QString root = volume.rootPath();
    if (QFileInfo(root).isDir() && !roots.contains(root)) roots.append(root);
  }
  if (!roots.contains("/")) roots.append("/");
  std::sort(roots.begin(), roots.end());
  return roots;
}

// The mount point a folder lies on: the longest one that contains it.
QString MountPointOf(const QStringList& roots, const QString& folder) {
  QString best = "/";
  for (const QString& root : roots) {
    const bool inside = folder == root || folder.startsWith(root.endsWith('/') ? root : root + '/');
    if (inside && root.size() > best.size()) best = root;
  }
  return best;
}

}  // namespace

savedirs::savedirs(const QString& initialFolder, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::savedirs>()), model_(new QFileSystemModel(this)) {
  ui_->setupUi(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  model_->setRootPath("/");
  ui_->Dir1->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) ui_->Dir1->hideColumn(column);

  const QStringList roots = MountPoints();
  ui_->Drive1->addItems(roots);
  const QString start = !initialFolder.isEmpty() && QFileInfo(initialFolder).isDir()
                            ? QDir::cleanPath(QFileInfo(initialFolder).absoluteFilePath())
                            : QDir::homePath();
  ui_->Drive1->setCurrentText(MountPointOf(roots, start));
  Drive1_Change();
  SetDir1Path(start);
  connect(ui_->Drive1, &QComboBox::currentTextChanged, this, &savedirs::Drive1_Change);
  connect(ui_->Command1, &QPushButton::clicked, this, &savedirs::Command1_Click);
}

savedirs::~savedirs() = default;

void savedirs::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}

void savedirs::Drive1_Change() {
  const QModelIndex root = model_->index(ui_->Drive1->currentText());
  ui_->Dir1->setRootIndex(root);
  ui_->Dir1->setCurrentIndex(root);
}

QString savedirs::Dir1Path() const {
  const QModelIndex current = ui_->Dir1->currentIndex();
  return current.isValid() ? model_->filePath(current) : ui_->Drive1->currentText();
}

void savedirs::SetDir1Path(const QString& folder) {
  const QModelIndex index = model_->index(folder);
  if (!index.isValid()) return;
  ui_->Dir1->setCurrentIndex(index);
  ui_->Dir1->scrollTo(index);
}

void savedirs::Command1_Click() {
  chosen_ = Dir1Path();
  accept();
}

}  // namespace zorvik::app
