#include "ui/wizard/undelete_page3.h"

#include "res/dialogs/search_setup_page.h"
#include "ui/wizard/wizard_sheet.h"

namespace quorvane::ui {

CUndeletePage3::CUndeletePage3(WizardContext& context) : CWizardPage(res::kSearchSetupPage, context) {}

bool CUndeletePage3::OnSetActive() {
  PostWizardButtons(CWizardSheet::kBack | CWizardSheet::kNext);
  return CWizardPage::OnSetActive();
}

}  // namespace quorvane::ui
