#include "ui/wizard/folder_chooser.h"

#include <QDir>
#include <QFileDialog>

namespace quorvane::ui {

QString ChooseFolder(QWidget* owner, const QString& title) {
  QFileDialog dialog(owner, title, QDir::currentPath());
  // File-system directories only.
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  // Modal over the wizard only: a worker's box stays within reach.
  dialog.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

}  // namespace quorvane::ui
