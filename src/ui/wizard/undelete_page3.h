#pragma once
// Page 3: the search-setup page. The user names the directory to search and
// how to search it: the check boxes exchange with WizardState's flags, and
// Next checks the directory and stores its short (8.3) form there for the
// results page. The check reads the volume, which may first wait for the
// desktop to ask for a password, so it runs on a worker: the page moves on
// (or shows its box) when the check ends. Back, Cancel, typing, Browse and
// More Search Options abandon a check still running; Next starts no second.
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "ui/volume_reads.h"
#include "ui/wizard/search_options_dlg.h"
#include "ui/wizard/wizard_page.h"

class QLabel;

namespace quorvane::ui {

class CUndeletePage3 : public CWizardPage {
  Q_OBJECT

 public:
  explicit CUndeletePage3(WizardContext& context);

  bool OnSetActive() override;
  bool OnWizardNext() override;
  bool OnWizardBack() override;
  void OnBrowse();
  void OnRecursive();
  void OnMoreSearchOptions();

  void RaiseAbort() override;
  void JoinWorkers() override;

  // The tip text of a control (empty: none).
  static QString TipText(int control);

  // Whether a check of the directory started by Next is running.
  bool Checking() const { return m_check != nullptr && m_checkMovesOn; }
  // The reads this page started and the folder chooser starts, joined or not.
  const VolumeReads& Reads() const { return m_reads; }

  CSearchOptionsDlg m_dlgSearchOptions;
  QString m_strDirectory;  // as typed or chosen (long form)

 protected:
  void OnInitDialog() override;
  void DoDataExchange(DataExchange& dx) override;

 private:
  // Checks `m_strDirectory` on a worker; with `move_on` (Next), the page
  // moves on or refuses when it ends, else only the search directory is set.
  void StartCheck(bool move_on);
  void OnCheckEnded(const std::optional<std::u16string>& short_form);
  void AbandonCheck();
  void ShowChecking(bool shown);

  QLabel* m_checkStatus = nullptr;
  // A check that ends within this shows nothing: no status, no cursor.
  QTimer m_checkShownTimer;
  std::shared_ptr<ReadTicket> m_check;  // the check running, if any
  bool m_checkMovesOn = false;
  // Last, so destroyed first: it abandons and joins the reads, whose
  // results would land in the members above.
  VolumeReads m_reads;
};

}  // namespace quorvane::ui
