#include "ui/wizard/volume_folder_chooser.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/dialog_units.h"
#include "ui/wizard/drive_row.h"
#include "volume/host/drive_table.h"

namespace quorvane::ui {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

const QString kReading = QStringLiteral("reading\u2026");

QString DriveName(int32_t drive) { return QStringLiteral("%1:").arg(QChar(u'A' + drive - 1)); }

// What stands in a row or below it while a read for it runs: seen, never chosen.
void MarkReading(QTreeWidgetItem* item) { item->setFlags(Qt::NoItemFlags); }

}  // namespace

VolumeFolderDialog::VolumeFolderDialog(DriveTable& table, DriveSource& drives, VolumeReads& reads,
                                       const QString& title, QWidget* owner)
    : QDialog(owner), table_(table), drives_(drives), reads_(reads), tree_(new QTreeWidget(this)) {
  setWindowTitle(title);
  setFont(DialogFont());
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(title, this);
  heading->setTextFormat(Qt::PlainText);
  layout->addWidget(heading);
  tree_->setHeaderHidden(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  // A row as wide as its text, with a scroll bar where the dialog is narrower.
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tree_->header()->setStretchLastSection(false);
  layout->addWidget(tree_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(tree_, &QTreeWidget::itemExpanded, this, &VolumeFolderDialog::Fill);
  connect(tree_, &QTreeWidget::itemSelectionChanged, this,
          [this, ok] { ok->setEnabled(!SelectedPath().isEmpty()); });
  DialogUnits units = DialogUnits::FromFont(font());
  resize(units.X(300), units.Y(220));
  AddDrives();
}

VolumeFolderDialog::~VolumeFolderDialog() {
  // Whatever is still being read is no longer wanted.
  for (const auto& ticket : started_) ticket->Abandon();
}

void VolumeFolderDialog::AddDrives() {
  // Every drive of the table; which can be used is known only once its
  // volume has been opened. Until then it may be opened all the same: its
  // listing is read as its summary is.
  for (const auto& [drive, path] : table_.entries()) {
    auto* item = new QTreeWidgetItem(tree_, {DriveName(drive) + QStringLiteral("  ") + kReading});
    item->setData(0, kPathRole, DriveName(drive) + u'\\');
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    DriveTable& table = table_;
    started_.push_back(reads_.Start<DriveSummary>(
        drives_,
        [&table, drive](DriveSource&) { return SummarizeDrive(table, drive); },
        [dialog = QPointer(this), item](DriveSummary summary) {
          if (dialog) dialog->ShowSummary(item, summary);
        }));
  }
  // The first drive starts selected, so OK (or Return) takes it at once and
  // the arrow keys move on from it.
  if (tree_->topLevelItemCount() > 0) tree_->setCurrentItem(tree_->topLevelItem(0));
}

void VolumeFolderDialog::ShowSummary(QTreeWidgetItem* item, const DriveSummary& summary) {
  item->setText(0, DriveRowText(summary));
  if (DriveRowUsable(summary)) return;
  const bool was_current = tree_->currentItem() == item;
  item->setToolTip(0, QStringLiteral("Cannot be chosen: ") + DriveRowProblem(summary));
  // Its items stay (a listing may still arrive into them), out of sight.
  item->setExpanded(false);
  item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
  item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
  if (!was_current) return;
  // The selection moves to the first drive that may still be chosen.
  tree_->clearSelection();
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* other = tree_->topLevelItem(i);
    if (other->flags() & Qt::ItemIsEnabled) {
      tree_->setCurrentItem(other);
      return;
    }
  }
  tree_->setCurrentItem(nullptr);
}

void VolumeFolderDialog::Fill(QTreeWidgetItem* item) {
  if (item->data(0, kFilledRole).toBool()) return;
  item->setData(0, kFilledRole, true);
  MarkReading(new QTreeWidgetItem(item, {kReading}));
  const QString path = item->data(0, kPathRole).toString();
  started_.push_back(reads_.Start<std::optional<std::vector<DirectoryName>>>(
      drives_,
      [path = path.toStdU16String()](DriveSource& through) {
        return DirectoryLookup(through).Subdirectories(path);
      },
      [dialog = QPointer(this), item](std::optional<std::vector<DirectoryName>> names) {
        if (dialog) dialog->ShowListing(item, names);
      }));
}

void VolumeFolderDialog::ShowListing(QTreeWidgetItem* item,
                                     const std::optional<std::vector<DirectoryName>>& names) {
  // Only the stand-in is there; the listing takes its place.
  delete item->takeChild(0);
  const QString path = item->data(0, kPathRole).toString();
  if (names) {
    for (const DirectoryName& name : *names) {
      const QString shown =
          name.longName.empty()
              ? QString::fromLatin1(name.shortName.data(), qsizetype(name.shortName.size()))
              : QString::fromStdU16String(name.longName);
      auto* child = new QTreeWidgetItem(item, {shown});
      // A drive's item ends in a backslash ("C:\"); below it none does.
      child->setData(0, kPathRole, (path.endsWith(u'\\') ? path : path + u'\\') + shown);
      child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
  }
  if (item->childCount() == 0)
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QString VolumeFolderDialog::SelectedPath() const {
  const auto selected = tree_->selectedItems();
  if (selected.isEmpty()) return {};
  return selected.front()->data(0, kPathRole).toString();
}

QString ChooseVolumeFolder(QWidget* owner, const QString& title, DriveTable& table,
                           DriveSource& drives, VolumeReads& reads) {
  VolumeFolderDialog dialog(table, drives, reads, title, owner);
  // Modal over the wizard only: a worker's box stays within reach.
  dialog.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
  return dialog.exec() == QDialog::Accepted ? dialog.SelectedPath() : QString();
}

}  // namespace quorvane::ui
