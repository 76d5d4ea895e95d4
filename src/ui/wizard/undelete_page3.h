#pragma once
// Page 3: the search-setup page. The user names the directory to search and
// how to search it: the check boxes exchange with WizardState's flags, and
// Next checks the directory and stores its short (8.3) form there for the
// results page.
#include <QString>
#include <optional>

#include "ui/wizard/search_options_dlg.h"
#include "ui/wizard/wizard_page.h"

namespace quorvane::ui {

class CUndeletePage3 : public CWizardPage {
  Q_OBJECT

 public:
  explicit CUndeletePage3(WizardContext& context);

  bool OnSetActive() override;
  bool OnWizardNext() override;
  void OnBrowse();
  void OnRecursive();
  void OnMoreSearchOptions();

  // The tip text of a control (empty: none).
  static QString TipText(int control);

  CSearchOptionsDlg m_dlgSearchOptions;
  QString m_strDirectory;  // as typed or chosen (long form)

 protected:
  void OnInitDialog() override;
  void DoDataExchange(DataExchange& dx) override;

 private:
  // The short form of `directory` without a trailing backslash, or none
  // when it names no directory. A drive path is checked through our FAT
  // reader, any other path by entering it and coming back; the current
  // directory is the same afterwards.
  std::optional<QString> ShortForm(const QString& directory);
};

}  // namespace quorvane::ui
