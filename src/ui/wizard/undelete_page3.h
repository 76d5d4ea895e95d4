#pragma once
// Page 3: the search-setup page.
#include "ui/wizard/wizard_page.h"

namespace quorvane::ui {

class CUndeletePage3 : public CWizardPage {
  Q_OBJECT

 public:
  explicit CUndeletePage3(WizardContext& context);

  bool OnSetActive() override;
};

}  // namespace quorvane::ui
