#include "ui/wizard/search_options_dlg.h"

#include <QCheckBox>
#include <QPushButton>

#include "recovery/message_box_host.h"
#include "res/dialogs/search_options_dialog.h"
#include "ui/dialog_builder.h"
#include "ui/find_control.h"
#include "ui/message_boxes.h"
#include "ui/wizard/control_tips.h"
#include "ui/wizard/data_exchange.h"

namespace quorvane::ui {
namespace {

namespace id = res::search_options_dialog;

const QString kCaption = QStringLiteral("Search Options");

}  // namespace

CSearchOptionsDlg::CSearchOptionsDlg() {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
}

CSearchOptionsDlg::~CSearchOptionsDlg() = default;

void CSearchOptionsDlg::Build() {
  if (built_) return;
  built_ = true;
  setWindowTitle(QString::fromLatin1(res::kSearchOptionsDialog.caption));
  BuildDialog(this, res::kSearchOptionsDialog);
  connect(FindControl<QCheckBox>(this, id::kNameFilterCheck), &QCheckBox::clicked, this,
          &CSearchOptionsDlg::OnNameFilterCheck);
  connect(FindControl<QCheckBox>(this, id::kExtFilterCheck), &QCheckBox::clicked, this,
          &CSearchOptionsDlg::OnExtFilterCheck);
  connect(FindControl<QCheckBox>(this, id::kDeletedDirFilterCheck), &QCheckBox::clicked, this,
          &CSearchOptionsDlg::OnDeletedDirFilterCheck);
  connect(FindControl<QPushButton>(this, id::kOk), &QPushButton::clicked, this,
          &CSearchOptionsDlg::OnOK);
  connect(FindControl<QPushButton>(this, id::kCancel), &QPushButton::clicked, this,
          &CSearchOptionsDlg::reject);
  new ControlTips(this, res::kSearchOptionsDialog, &CSearchOptionsDlg::TipText);
}

int CSearchOptionsDlg::DoModal(WizardState& state, QWidget* owner) {
  // Modal over its owner's window (the wizard) only, so that a worker's
  // box stays within reach while the dialog is up.
  if (owner && parentWidget() != owner) setParent(owner, windowFlags());
  setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
  Build();
  m_state = state;
  // These three start unchecked at every opening, whatever an earlier OK
  // stored: a person asks for them again for each search.
  m_state.m_bNtDeleted = 0;
  m_state.m_bDetails = 0;
  m_state.m_bKeepGoing = 0;
  m_state.m_bFragments = 0;
  OnInitDialog();
  if (exec() != QDialog::Accepted) return id::kCancel;
  state = m_state;
  return id::kOk;
}

void CSearchOptionsDlg::OnInitDialog() {
  // Every run starts from the template's states, as a newly made window does.
  for (const res::ControlTemplate& control : res::kSearchOptionsDialog.controls) {
    if (QWidget* widget = FindControl(this, control.id)) {
      widget->setEnabled(true);
      widget->setVisible(true);
    }
  }
  UpdateData(false);
  if (!m_state.m_bExtFilter) FindControl(this, id::kExtFilter)->setEnabled(false);
  if (!m_state.m_bNameFilter) FindControl(this, id::kNameFilter)->setEnabled(false);
  if (!m_state.m_bDeletedDirFilter) FindControl(this, id::kDeletedDirFilter)->setEnabled(false);
  // The deleted-directory filter may be used only when the search descends
  // into deleted directories. Its edit follows its field alone: with the
  // filter on from an earlier run it stays enabled in a disabled group.
  if (!m_state.m_bSearchDeletedDirs) {
    for (int control : {id::kDeletedDirFilterCheck, id::kDeletedDirLabel, id::kDeletedDirGroup})
      FindControl(this, control)->setEnabled(false);
  } else {
    FindControl(this, id::kDeletedDirNote)->setVisible(false);
  }
  if (QWidget* first = FindControl(this, id::kNameFilterCheck)) first->setFocus();
}

void CSearchOptionsDlg::DoDataExchange(DataExchange& dx) {
  dx.Check(id::kNameFilterCheck, m_state.m_bNameFilter);
  dx.Text(id::kNameFilter, m_state.m_strNameFilter, 8);
  dx.Check(id::kExtFilterCheck, m_state.m_bExtFilter);
  dx.Text(id::kExtFilter, m_state.m_strExtFilter, 3);
  dx.Check(id::kDeletedDirFilterCheck, m_state.m_bDeletedDirFilter);
  dx.Text(id::kDeletedDirFilter, m_state.m_strDeletedDirFilter, 8);
  dx.Check(id::kNtDeletedCheck, m_state.m_bNtDeleted);
  dx.Check(id::kDetailsCheck, m_state.m_bDetails);
  dx.Check(id::kKeepGoingCheck, m_state.m_bKeepGoing);
  dx.Check(id::kFragmentsCheck, m_state.m_bFragments);
}

bool CSearchOptionsDlg::UpdateData(bool save_and_validate) {
  DataExchange dx(this, save_and_validate);
  DoDataExchange(dx);
  return dx.ok();
}

void CSearchOptionsDlg::OnFilterCheck(int32_t& field, int edit_id) {
  UpdateData(true);
  FindControl(this, edit_id)->setEnabled(field != 0);
  UpdateData(false);
}

void CSearchOptionsDlg::OnNameFilterCheck() {
  OnFilterCheck(m_state.m_bNameFilter, id::kNameFilter);
}
void CSearchOptionsDlg::OnExtFilterCheck() { OnFilterCheck(m_state.m_bExtFilter, id::kExtFilter); }
void CSearchOptionsDlg::OnDeletedDirFilterCheck() {
  OnFilterCheck(m_state.m_bDeletedDirFilter, id::kDeletedDirFilter);
}

void CSearchOptionsDlg::OnOK() {
  UpdateData(true);
  const char* missing = nullptr;
  if (m_state.m_bExtFilter && m_state.m_strExtFilter.isEmpty()) {
    missing = "Please give a valid extention to search";
  } else if (m_state.m_bNameFilter && m_state.m_strNameFilter.isEmpty()) {
    missing = "Please give a filename/substring to search";
  } else if (m_state.m_bDeletedDirFilter && m_state.m_strDeletedDirFilter.isEmpty()) {
    missing = "Please give a deleted directory name or its substring to search";
  }
  if (missing) {
    ShowModalMessageBox(this, QString::fromLatin1(missing), kCaption, kMbIconInformation);
    return;
  }
  if (!UpdateData(true)) return;
  done(QDialog::Accepted);
}

void CSearchOptionsDlg::reject() { done(QDialog::Rejected); }

QString CSearchOptionsDlg::TipText(int control) {
  switch (control) {
    case id::kNameFilter:
      return QStringLiteral("Give 8 character long file name or substring of filename");
    case id::kExtFilter: return QStringLiteral("Give 3 character long extention");
    case id::kDeletedDirGroup:
      return QStringLiteral("Available only if [Search deleted directories] option is enabled");
    case id::kFragmentsCheck:
      return QStringLiteral("A file's copy skips the clusters that other deleted files begin at or "
                            "run through, and its condition says so; deleted folders are followed "
                            "past their first cluster, and folders nothing leads to are listed");
    default: return {};
  }
}

}  // namespace quorvane::ui
