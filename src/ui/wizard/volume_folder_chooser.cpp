#include "ui/wizard/volume_folder_chooser.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/dialog_units.h"

namespace quorvane::ui {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

QString DriveName(int32_t drive) { return QStringLiteral("%1:").arg(QChar(u'A' + drive - 1)); }

}  // namespace

VolumeFolderDialog::VolumeFolderDialog(DriveSource& drives, const QString& title, QWidget* owner)
    : QDialog(owner), lookup_(drives), tree_(new QTreeWidget(this)) {
  setWindowTitle(title);
  setFont(DialogFont());
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(title, this);
  heading->setTextFormat(Qt::PlainText);
  layout->addWidget(heading);
  tree_->setHeaderHidden(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
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
  resize(units.X(200), units.Y(220));
  AddDrives();
}

void VolumeFolderDialog::AddDrives() {
  for (int32_t drive : lookup_.Fat32Drives()) {
    auto* item = new QTreeWidgetItem(tree_, {DriveName(drive)});
    item->setData(0, kPathRole, DriveName(drive) + u'\\');
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  }
  // The first drive starts selected, so OK (or Return) takes it at once and
  // the arrow keys move on from it.
  if (tree_->topLevelItemCount() > 0) tree_->setCurrentItem(tree_->topLevelItem(0));
}

void VolumeFolderDialog::Fill(QTreeWidgetItem* item) {
  if (item->data(0, kFilledRole).toBool()) return;
  item->setData(0, kFilledRole, true);
  const QString path = item->data(0, kPathRole).toString();
  const auto names = lookup_.Subdirectories(path.toStdU16String());
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

QString ChooseVolumeFolder(QWidget* owner, const QString& title, DriveSource& drives) {
  VolumeFolderDialog dialog(drives, title, owner);
  // Modal over the wizard only: a worker's box stays within reach.
  dialog.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
  return dialog.exec() == QDialog::Accepted ? dialog.SelectedPath() : QString();
}

}  // namespace quorvane::ui
