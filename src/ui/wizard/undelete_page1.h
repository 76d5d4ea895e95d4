#pragma once
// Page 1: the output directory. The chosen directory becomes the process's
// current directory, into which the engine writes every recovered file.
#include <QString>

#include "ui/wizard/wizard_page.h"

namespace quorvane::ui {

class CUndeletePage1 : public CWizardPage {
  Q_OBJECT

 public:
  explicit CUndeletePage1(WizardContext& context);

  bool OnSetActive() override;
  bool OnWizardNext() override;
  void OnBrowse();

  const QString& OutputDir() const { return m_strOutputDir; }

 protected:
  void OnInitDialog() override;
  void DoDataExchange(DataExchange& dx) override;

 private:
  void ShowCurrentDirectory();
  QString m_strOutputDir;
};

}  // namespace quorvane::ui
