#include "app/shell/ShippedPages.h"

#include <QFile>
#include <QSaveFile>

#include "core/ProgramDirectory.h"

namespace zorvik::app {

QString ShippedPage(const QString& name) {
  if (const auto found = ShippedFile(name.toStdString())) return QString::fromStdString(found->string());
  const QString path = QString::fromStdString((ProgramDirectory() / name.toStdString()).string());
  if (QFile::exists(path)) return path;
  QFile shipped(QStringLiteral(":/pages/") + name);
  if (!shipped.open(QIODevice::ReadOnly)) return {};
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly) || out.write(shipped.readAll()) < 0 || !out.commit()) return {};
  return path;
}

}  // namespace zorvik::app
