#include "ui/wizard/undelete_page3.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QPushButton>

#include "recovery/engine_texts.h"
#include "recovery/message_box_host.h"
#include "res/dialogs/search_setup_page.h"
#include "ui/message_boxes.h"
#include "ui/wizard/control_tips.h"
#include "ui/wizard/volume_folder_chooser.h"
#include "ui/wizard/wizard_sheet.h"
#include "ui/wizard/wizard_state.h"
#include "volume/format/directory_lookup.h"
#include "volume/host/drive_table.h"
#include "volume/host/mount_table.h"

namespace quorvane::ui {
namespace {

namespace id = res::search_setup_page;

const QString kCaption = QString::fromLatin1(texts::kAppCaption);

}  // namespace

CUndeletePage3::CUndeletePage3(WizardContext& context) : CWizardPage(res::kSearchSetupPage, context) {}

void CUndeletePage3::DoDataExchange(DataExchange& dx) {
  WizardState& state = context_.state;
  dx.Text(id::kDirectory, m_strDirectory);
  dx.Check(id::kRecurse, state.m_bRecurse);
  dx.Check(id::kSearchDeletedDirs, state.m_bSearchDeletedDirs);
  dx.Check(id::kSkipUnrecoverable, state.m_bSkipUnrecoverable);
}

void CUndeletePage3::OnInitDialog() {
  CWizardPage::OnInitDialog();
  connect(Control<QPushButton>(id::kBrowse), &QPushButton::clicked, this,
          &CUndeletePage3::OnBrowse);
  connect(Control<QCheckBox>(id::kRecurse), &QCheckBox::clicked, this,
          &CUndeletePage3::OnRecursive);
  connect(Control<QPushButton>(id::kMoreOptions), &QPushButton::clicked, this,
          &CUndeletePage3::OnMoreSearchOptions);
  Control(id::kSearchDeletedDirs)->setEnabled(false);
  WizardState& state = context_.state;
  state.m_bSkipUnrecoverable = 1;
  state.m_bExtFilter = 0;
  state.m_bNameFilter = 0;
  state.m_bDeletedDirFilter = 0;
  UpdateData(false);
  new ControlTips(this, res::kSearchSetupPage, &CUndeletePage3::TipText);
}

bool CUndeletePage3::OnSetActive() {
  PostWizardButtons(CWizardSheet::kBack | CWizardSheet::kNext);
  return CWizardPage::OnSetActive();
}

void CUndeletePage3::OnRecursive() {
  UpdateData(true);
  // Only the box's state changes: its check mark and field stay.
  Control(id::kSearchDeletedDirs)->setEnabled(context_.state.m_bRecurse != 0);
}

void CUndeletePage3::OnBrowse() {
  const QString chosen = ChooseVolumeFolder(
      this, QStringLiteral("<< Select directory to search for undeletable files >>"),
      context_.drives);
  if (!chosen.isEmpty()) m_strDirectory = chosen;
  // Chosen or not, the directory's short form becomes the search directory;
  // a text with none leaves the search directory as it was (Next sets it).
  if (const auto short_form = ShortForm(m_strDirectory)) context_.state.m_strSearchDir = *short_form;
  UpdateData(false);
}

bool CUndeletePage3::OnWizardNext() {
  UpdateData(true);
  if (m_strDirectory.isEmpty()) {
    ShowModalMessageBox(this,
                        QStringLiteral("Please specify a directory to search for undeletable files."),
                        kCaption, kMbIconExclamation);
    return false;
  }
  const auto short_form = ShortForm(m_strDirectory);
  if (!short_form) {
    ShowModalMessageBox(this, QStringLiteral("Directory does not exist !"), kCaption,
                        kMbIconExclamation);
    return false;
  }
  context_.state.m_strSearchDir = *short_form;
  return true;
}

std::optional<QString> CUndeletePage3::ShortForm(const QString& directory) {
  if (directory.isEmpty()) return std::nullopt;
  // A drive path is checked through our own FAT reader; the result is the
  // stored 8.3 names, the bytes the search compares its components with.
  const auto drive_short_form = [this](const std::u16string& path) -> std::optional<QString> {
    const auto short_path = DirectoryLookup(context_.drives).ShortPath(path);
    if (!short_path) return std::nullopt;
    return QString::fromLatin1(short_path->data(), qsizetype(short_path->size()));
  };
  const std::u16string text = directory.toStdU16String();
  if (IsDrivePath(text)) return drive_short_form(text);
  // A host directory under the mount point of a drive's volume is that
  // drive's directory, checked and shortened as one typed so.
#ifndef _WIN32
  if (const auto* table = dynamic_cast<const DriveTable*>(&context_.drives)) {
    const QString resolved = QFileInfo(directory).canonicalFilePath();
    if (!resolved.isEmpty()) {
      if (const auto drive_path =
              MountedVolumes::OfThisMachine(*table).DrivePathOf(resolved.toStdString())) {
        return drive_short_form(QString::fromStdString(*drive_path).toStdU16String());
      }
    }
  }
#endif
  // A host directory must be one that could be entered: a directory the
  // process may search. It is tested without entering it, since the current
  // directory is the output directory, where another page's worker may be
  // opening its output file at this moment.
  const QFileInfo info(directory);
  if (!info.isDir() || !info.isExecutable()) return std::nullopt;
  // A host directory is its own short form.
  QString form = directory;
  if (form.size() > 1 && (form.endsWith(u'\\') || form.endsWith(u'/'))) form.chop(1);
  return form;
}

void CUndeletePage3::OnMoreSearchOptions() {
  // The check boxes into the state first: the dialog goes by whether the
  // search descends into deleted directories.
  UpdateData(true);
  m_dlgSearchOptions.DoModal(context_.state, this);
}

QString CUndeletePage3::TipText(int control) {
  switch (control) {
    case id::kRecurse:
      return QStringLiteral(
          "Enable this option if you want to search recursively the subdirectories in the "
          "selected directory.");
    case id::kSearchDeletedDirs:
      return QStringLiteral(
          "Enable this option if you also want to search deleted directories for undeletable "
          "files.");
    case id::kSkipUnrecoverable:
      return QStringLiteral(
          "Enable this if you are searching for executable/binary files and disable if you are "
          "searching data/text files");
    default:
      return {};
  }
}

}  // namespace quorvane::ui
