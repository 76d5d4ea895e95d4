#pragma once
// Page 4: the results page.
#include "ui/wizard/wizard_page.h"

namespace quorvane::ui {

class CUndeletePage4 : public CWizardPage {
  Q_OBJECT

 public:
  explicit CUndeletePage4(WizardContext& context);

  bool OnSetActive() override;
};

}  // namespace quorvane::ui
