#include "ui/wizard/folder_chooser.h"

#include <QDir>
#include <QFileDialog>

namespace quorvane::ui {
namespace {

FolderChooser& Chooser() {
  static FolderChooser chooser = [](QWidget* owner, const QString& title) {
    // File-system directories only.
    return QFileDialog::getExistingDirectory(owner, title, QDir::currentPath(),
                                             QFileDialog::ShowDirsOnly);
  };
  return chooser;
}

}  // namespace

QString ChooseFolder(QWidget* owner, const QString& title) { return Chooser()(owner, title); }

FolderChooser SetFolderChooser(FolderChooser chooser) {
  FolderChooser previous = std::move(Chooser());
  Chooser() = std::move(chooser);
  return previous;
}

}  // namespace quorvane::ui
