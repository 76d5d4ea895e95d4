#include "ui/wizard/undelete_page4.h"

#include "res/dialogs/results_page.h"
#include "ui/wizard/wizard_sheet.h"

namespace quorvane::ui {

CUndeletePage4::CUndeletePage4(WizardContext& context) : CWizardPage(res::kResultsPage, context) {}

bool CUndeletePage4::OnSetActive() {
  PostWizardButtons(CWizardSheet::kBack | CWizardSheet::kFinish);
  return CWizardPage::OnSetActive();
}

}  // namespace quorvane::ui
