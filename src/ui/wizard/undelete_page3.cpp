#include "ui/wizard/undelete_page3.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "recovery/engine_texts.h"
#include "recovery/message_box_host.h"
#include "res/dialogs/search_setup_page.h"
#include "ui/dialog_units.h"
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

// How long a check runs before the page says that it is checking.
constexpr int kCheckShownAfterMs = 250;

// The short form of `directory` without a trailing backslash, or none when
// it names no directory. A drive path is checked through our FAT reader,
// any other path in place. Runs on a worker: it reads the volume.
std::optional<std::u16string> ShortFormOf(const std::u16string& directory, DriveSource& drives,
                                          const DriveTable& table) {
  if (directory.empty()) return std::nullopt;
  // A drive path is checked through our own FAT reader; the result is the
  // stored 8.3 names, the bytes the search compares its components with,
  // as Latin-1 text.
  const auto drive_short_form = [&drives](const std::u16string& path) -> std::optional<std::u16string> {
    const auto short_path = DirectoryLookup(drives).ShortPath(path);
    if (!short_path) return std::nullopt;
    std::u16string text;
    for (const char c : *short_path) text.push_back(static_cast<unsigned char>(c));
    return text;
  };
  if (IsDrivePath(directory)) return drive_short_form(directory);
  const QString host_path = QString::fromStdU16String(directory);
  // A host directory under the mount point of a drive's volume is that
  // drive's directory, checked and shortened as one typed so.
#ifndef _WIN32
  const QString resolved = QFileInfo(host_path).canonicalFilePath();
  if (!resolved.isEmpty()) {
    if (const auto drive_path =
            MountedVolumes::OfThisMachine(table).DrivePathOf(resolved.toStdString())) {
      return drive_short_form(QString::fromStdString(*drive_path).toStdU16String());
    }
  }
#else
  (void)table;
#endif
  // A host directory must be one that could be entered: a directory the
  // process may search. It is tested without entering it, since the current
  // directory is the output directory, where another page's worker may be
  // opening its output file at this moment.
  const QFileInfo info(host_path);
  if (!info.isDir() || !info.isExecutable()) return std::nullopt;
  // A host directory is its own short form.
  std::u16string form = directory;
  if (form.size() > 1 && (form.back() == u'\\' || form.back() == u'/')) form.pop_back();
  return form;
}

}  // namespace

CUndeletePage3::CUndeletePage3(WizardContext& context) : CWizardPage(res::kSearchSetupPage, context) {
  m_checkShownTimer.setSingleShot(true);
  m_checkShownTimer.setInterval(kCheckShownAfterMs);
  connect(&m_checkShownTimer, &QTimer::timeout, this, [this] { ShowChecking(true); });
}

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
  // Typing another directory abandons the check of the one typed before.
  connect(Control<QLineEdit>(id::kDirectory), &QLineEdit::textEdited, this,
          &CUndeletePage3::AbandonCheck);
  Control(id::kSearchDeletedDirs)->setEnabled(false);
  // Below the directory, inside its group box: shown only while a check
  // takes long enough to notice.
  m_checkStatus = new QLabel(QStringLiteral("Checking the directory\u2026"), this);
  m_checkStatus->setObjectName(QStringLiteral("checkStatus"));
  m_checkStatus->setTextFormat(Qt::PlainText);
  m_checkStatus->setGeometry(DialogUnits::FromFont(font()).Rect(103, 68, 159, 9));
  m_checkStatus->hide();
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
  AbandonCheck();
  const QString chosen = ChooseVolumeFolder(
      this, QStringLiteral("<< Select directory to search for undeletable files >>"),
      context_.table, context_.drives, m_reads);
  if (!chosen.isEmpty()) m_strDirectory = chosen;
  // Chosen or not, the directory's short form becomes the search directory;
  // a text with none leaves the search directory as it was (Next sets it).
  if (!m_strDirectory.isEmpty()) StartCheck(false);
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
  // One check at a time: the page moves on when it ends.
  if (!Checking()) StartCheck(true);
  return false;
}

bool CUndeletePage3::OnWizardBack() {
  AbandonCheck();
  return true;
}

void CUndeletePage3::StartCheck(bool move_on) {
  AbandonCheck();
  m_checkMovesOn = move_on;
  const DriveTable& table = context_.table;
  m_check = m_reads.Start<std::optional<std::u16string>>(
      context_.drives,
      [directory = m_strDirectory.toStdU16String(), &table](DriveSource& drives) {
        return ShortFormOf(directory, drives, table);
      },
      [this](std::optional<std::u16string> short_form) { OnCheckEnded(short_form); });
  if (move_on) m_checkShownTimer.start();
}

void CUndeletePage3::OnCheckEnded(const std::optional<std::u16string>& short_form) {
  const bool move_on = m_checkMovesOn;
  m_check.reset();
  ShowChecking(false);
  const auto form = short_form ? std::optional(QString::fromStdU16String(*short_form)) : std::nullopt;
  if (!move_on) {
    if (form) context_.state.m_strSearchDir = *form;
    return;
  }
  if (!form) {
    ShowModalMessageBox(this, QStringLiteral("Directory does not exist !"), kCaption,
                        kMbIconExclamation);
    return;
  }
  // The check boxes as they stand now: they may have been clicked while
  // the check ran (the text may not: typing abandons the check).
  UpdateData(true);
  context_.state.m_strSearchDir = *form;
  context_.sheet.NextFrom(this);
}

void CUndeletePage3::AbandonCheck() {
  if (!m_check) return;
  m_check->Abandon();
  m_check.reset();
  ShowChecking(false);
}

void CUndeletePage3::ShowChecking(bool shown) {
  if (!shown) m_checkShownTimer.stop();
  if (m_checkStatus) m_checkStatus->setVisible(shown);
  if (shown) {
    context_.sheet.setCursor(Qt::BusyCursor);
  } else {
    context_.sheet.unsetCursor();
  }
}

void CUndeletePage3::RaiseAbort() {
  AbandonCheck();
  m_reads.AbandonAll();
}

void CUndeletePage3::JoinWorkers() { m_reads.JoinAll(); }

void CUndeletePage3::OnMoreSearchOptions() {
  // The page would otherwise move on under the dialog.
  AbandonCheck();
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
