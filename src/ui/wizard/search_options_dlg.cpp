#include "ui/wizard/search_options_dlg.h"

#include <QCheckBox>
#include <QPushButton>

#include "res/dialogs/search_options_dialog.h"
#include "ui/dialog_builder.h"
#include "ui/find_control.h"
#include "ui/message_boxes.h"
#include "ui/wizard/control_tips.h"
#include "ui/wizard/data_exchange.h"
#include "recovery/message_box_host.h"

namespace quorvane::ui {
namespace {

constexpr int kIdCancel = 2;
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
  connect(FindControl<QCheckBox>(this, 1039), &QCheckBox::clicked, this,
          &CSearchOptionsDlg::OnNameFilterCheck);
  connect(FindControl<QCheckBox>(this, 1040), &QCheckBox::clicked, this,
          &CSearchOptionsDlg::OnExtFilterCheck);
  connect(FindControl<QCheckBox>(this, 1043), &QCheckBox::clicked, this,
          &CSearchOptionsDlg::OnDeletedDirFilterCheck);
  connect(FindControl<QPushButton>(this, 1), &QPushButton::clicked, this, &CSearchOptionsDlg::OnOK);
  connect(FindControl<QPushButton>(this, kIdCancel), &QPushButton::clicked, this,
          &CSearchOptionsDlg::reject);
  new ControlTips(this, res::kSearchOptionsDialog, &CSearchOptionsDlg::TipText);
}

int CSearchOptionsDlg::DoModal(QWidget* owner) {
  // Modal over its owner's window (the wizard) only, so that a worker's
  // box stays within reach while the dialog is up.
  if (owner && parentWidget() != owner) setParent(owner, windowFlags());
  setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
  Build();
  OnInitDialog();
  return exec() == QDialog::Accepted ? kIdOk : kIdCancel;
}

void CSearchOptionsDlg::OnInitDialog() {
  // Every run starts from the template's states, as a newly made window does.
  for (const ControlTemplate& control : res::kSearchOptionsDialog.controls) {
    if (QWidget* widget = FindControl(this, control.id)) {
      widget->setEnabled(true);
      widget->setVisible(true);
    }
  }
  UpdateData(false);
  if (!m_bExtFilter) FindControl(this, 1042)->setEnabled(false);
  if (!m_bNameFilter) FindControl(this, 1041)->setEnabled(false);
  if (!m_bDeletedDirFilter) FindControl(this, 1044)->setEnabled(false);
  // The edit of the deleted-directory filter follows its field alone: with
  // the filter on from an earlier run it stays enabled in a disabled group.
  if (!m_bDeletedDirsEnabled) {
    for (int id : {1043, 1047, 1045}) FindControl(this, id)->setEnabled(false);
  } else {
    FindControl(this, 1046)->setVisible(false);
  }
  if (QWidget* first = FindControl(this, 1039)) first->setFocus();
}

void CSearchOptionsDlg::DoDataExchange(DataExchange& dx) {
  dx.Check(1039, m_bNameFilter);
  dx.Text(1041, m_strNameFilter, 8);
  dx.Check(1040, m_bExtFilter);
  dx.Text(1042, m_strExtFilter, 3);
  dx.Check(1043, m_bDeletedDirFilter);
  dx.Text(1044, m_strDeletedDirFilter, 8);
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

void CSearchOptionsDlg::OnNameFilterCheck() { OnFilterCheck(m_bNameFilter, 1041); }
void CSearchOptionsDlg::OnExtFilterCheck() { OnFilterCheck(m_bExtFilter, 1042); }
void CSearchOptionsDlg::OnDeletedDirFilterCheck() { OnFilterCheck(m_bDeletedDirFilter, 1044); }

void CSearchOptionsDlg::OnOK() {
  UpdateData(true);
  const char* missing = nullptr;
  if (m_bExtFilter && m_strExtFilter.isEmpty()) {
    missing = "Please give a valid extention to search";
  } else if (m_bNameFilter && m_strNameFilter.isEmpty()) {
    missing = "Please give a filename/substring to search";
  } else if (m_bDeletedDirFilter && m_strDeletedDirFilter.isEmpty()) {
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

QString CSearchOptionsDlg::TipText(int id) {
  switch (id) {
    case 1041: return QStringLiteral("Give 8 character long file name or substring of filename");
    case 1042: return QStringLiteral("Give 3 character long extention");
    case 1045: return QStringLiteral("Available only if [Search deleted directories] option is enabled");
    default: return {};
  }
}

}  // namespace quorvane::ui
