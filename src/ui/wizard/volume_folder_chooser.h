#pragma once
// The folder chooser for directories on the volumes of the drive table,
// which need not be mounted: its roots are the FAT32 drives, each showing
// its live directories (long names where they have them) as our own FAT
// reader finds them. The chosen directory comes back as a drive path such
// as C:\My Documents\Letters.
#include <QDialog>
#include <QString>

#include "volume/format/directory_lookup.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace quorvane::ui {

class VolumeFolderDialog : public QDialog {
  Q_OBJECT

 public:
  VolumeFolderDialog(DriveSource& drives, const QString& title, QWidget* owner = nullptr);

  // The drive path of the selected directory, or empty when none is selected.
  QString SelectedPath() const;

 private:
  void AddDrives();
  // Lists an item's subdirectories the first time it is opened.
  void Fill(QTreeWidgetItem* item);

  DirectoryLookup lookup_;
  QTreeWidget* tree_;
};

// Runs the chooser and returns the chosen drive path, or an empty text when
// the user cancels.
QString ChooseVolumeFolder(QWidget* owner, const QString& title, DriveSource& drives);

}  // namespace quorvane::ui
