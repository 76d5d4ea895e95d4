#pragma once
// The folder chooser for directories on the volumes of the drive table,
// which need not be mounted: its roots are the table's drives, each on a row
// that tells which card it is (drive_row.h), and below each usable one its
// live directories (long names where they have them) as our own FAT reader
// finds them. A drive that cannot be read or holds no FAT volume is shown
// greyed, with why. Every read of a volume (the drives' summaries, a
// directory's listing when it is opened) runs on a worker of the page's
// VolumeReads; meanwhile the row says it is reading. Closing the chooser
// waits for none of them: their results are dropped. The chosen directory
// comes back as a drive path such as C:\My Documents\Letters.
#include <QDialog>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "ui/volume_reads.h"
#include "volume/format/directory_lookup.h"
#include "volume/host/drive_summary.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace quorvane::ui {

class VolumeFolderDialog : public QDialog {
  Q_OBJECT

 public:
  // `table` lists the drives, whose volumes are read through `drives`; both
  // and `reads` must outlive the dialog's reads (the wizard joins them).
  VolumeFolderDialog(DriveTable& table, DriveSource& drives, VolumeReads& reads,
                     const QString& title, QWidget* owner = nullptr);
  ~VolumeFolderDialog() override;

  // The drive path of the selected directory, or empty when none is selected.
  QString SelectedPath() const;
  QTreeWidget* Tree() const { return tree_; }

 private:
  void AddDrives();
  void ShowSummary(QTreeWidgetItem* item, const DriveSummary& summary);
  // Lists an item's subdirectories the first time it is opened.
  void Fill(QTreeWidgetItem* item);
  void ShowListing(QTreeWidgetItem* item, const std::optional<std::vector<DirectoryName>>& names);

  DriveTable& table_;
  DriveSource& drives_;
  VolumeReads& reads_;
  QTreeWidget* tree_;
  std::vector<std::shared_ptr<ReadTicket>> started_;  // abandoned when the dialog goes
};

// Runs the chooser and returns the chosen drive path, or an empty text when
// the user cancels.
QString ChooseVolumeFolder(QWidget* owner, const QString& title, DriveTable& table,
                           DriveSource& drives, VolumeReads& reads);

}  // namespace quorvane::ui
