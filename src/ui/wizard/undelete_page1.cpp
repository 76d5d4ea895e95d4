#include "ui/wizard/undelete_page1.h"

#include <QDir>
#include <QPushButton>

#include "recovery/engine_texts.h"
#include "recovery/message_box_host.h"
#include "res/dialogs/output_dir_page.h"
#include "ui/message_boxes.h"
#include "ui/windows_family.h"
#include "ui/wizard/folder_chooser.h"
#include "ui/wizard/wizard_sheet.h"

namespace quorvane::ui {
namespace {

namespace id = res::output_dir_page;

const QString kCaption = QString::fromLatin1(texts::kAppCaption);

// The current directory, whatever its length, in the platform's notation.
QString CurrentDirectory() { return QDir::toNativeSeparators(QDir::currentPath()); }

}  // namespace

CUndeletePage1::CUndeletePage1(WizardContext& context)
    : CWizardPage(res::kOutputDirPage, context) {}

void CUndeletePage1::DoDataExchange(DataExchange& dx) {
  dx.Text(id::kDirectory, m_strOutputDir);
}

void CUndeletePage1::OnInitDialog() {
  CWizardPage::OnInitDialog();
  connect(Control<QPushButton>(id::kBrowse), &QPushButton::clicked, this,
          &CUndeletePage1::OnBrowse);
  ShowCurrentDirectory();
  if (IsNtFamilySystem()) {
    const int answer = ShowModalMessageBox(
        this,
        QStringLiteral("Quorvane cannot undelete files deleted by Windows NT/2000/XP\n"
                       "Do you want to proceed ?"),
        kCaption, kMbYesNoInformation);
    if (answer == kIdNo) context_.sheet.PostPressCancel();
  }
}

bool CUndeletePage1::OnSetActive() {
  PostWizardButtons(CWizardSheet::kNext);
  return CWizardPage::OnSetActive();
}

void CUndeletePage1::OnBrowse() {
  const QString folder =
      ChooseFolder(this, QStringLiteral("<< Select directory to place undeleted files >>"));
  // A failure to enter the chosen folder is not reported: the edit then
  // shows the directory that stayed current.
  if (!folder.isEmpty()) QDir::setCurrent(folder);
  ShowCurrentDirectory();
}

bool CUndeletePage1::OnWizardNext() {
  UpdateData(true);
  if (m_strOutputDir.isEmpty()) {
    ShowModalMessageBox(this, QStringLiteral("Please give a directory to place undeleted files."),
                        kCaption, kMbIconExclamation);
    return false;
  }
  if (!QDir::setCurrent(m_strOutputDir)) {
    ShowModalMessageBox(this, QStringLiteral("Directory does not exist !"), kCaption,
                        kMbIconExclamation);
    return false;
  }
  return true;
}

void CUndeletePage1::ShowCurrentDirectory() {
  m_strOutputDir = CurrentDirectory();
  UpdateData(false);
}

}  // namespace quorvane::ui
