#include "ui/wizard/wizard_page.h"

#include "ui/dialog_builder.h"
#include "ui/wizard/wizard_sheet.h"

namespace quorvane::ui {

CWizardPage::CWizardPage(const res::DialogTemplate& dialog, WizardContext& context)
    : context_(context), dialog_(dialog) {}

CWizardPage::~CWizardPage() = default;

QString CWizardPage::Title() const { return QString::fromLatin1(dialog_.caption); }

void CWizardPage::Create() {
  if (created_) return;
  created_ = true;
  controls_ = BuildDialog(this, dialog_);
  OnInitDialog();
}

QWidget* CWizardPage::FirstTabStop() const {
  for (QWidget* control : controls_) {
    if ((control->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && control->isEnabled() &&
        !control->isHidden()) {
      return control;
    }
  }
  return nullptr;
}

std::vector<QWidget*> CWizardPage::TabStops() const {
  std::vector<QWidget*> stops;
  for (QWidget* control : controls_) {
    if ((control->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) stops.push_back(control);
  }
  return stops;
}

bool CWizardPage::OnSetActive() {
  if (first_activation_) {
    first_activation_ = false;
  } else {
    UpdateData(false);
  }
  return true;
}

bool CWizardPage::OnKillActive() { return UpdateData(true); }

void CWizardPage::OnInitDialog() { UpdateData(false); }

void CWizardPage::DoDataExchange(DataExchange&) {}

bool CWizardPage::UpdateData(bool save_and_validate) {
  DataExchange dx(this, save_and_validate);
  DoDataExchange(dx);
  return dx.ok();
}

void CWizardPage::PostWizardButtons(int mask) { context_.sheet.PostWizardButtons(mask); }

}  // namespace quorvane::ui
