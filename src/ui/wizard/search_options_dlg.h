#pragma once
// The search options dialog: the name, extension and deleted-directory
// filters, each a check box that switches it on and an edit for its text;
// below them, unchecked at every opening, the rebuilding of first clusters
// cleared by the NT family, the long-name and condition columns, keeping
// going past unreadable sectors, and following fragments.
// It edits a copy of the wizard's settings, which OK stores and Cancel drops.
#include <QDialog>
#include <QString>
#include <cstdint>

#include "ui/wizard/wizard_state.h"

namespace quorvane::ui {

class DataExchange;

class CSearchOptionsDlg : public QDialog {
  Q_OBJECT

 public:
  CSearchOptionsDlg();
  ~CSearchOptionsDlg() override;

  // Runs the dialog modally over `owner` (a page of the wizard) on a copy
  // of `state`; the deleted-directory filter may be used when the search
  // descends into deleted directories. OK stores the copy into `state` and
  // returns 1; Cancel, Escape and the close box leave `state` as it was
  // and return 2.
  int DoModal(WizardState& state, QWidget* owner = nullptr);

  void OnNameFilterCheck();
  void OnExtFilterCheck();
  void OnDeletedDirFilterCheck();
  void OnOK();

  // The tip text of a control (empty: none).
  static QString TipText(int control);

 public slots:
  void reject() override;

 private:
  void Build();
  void OnInitDialog();
  void DoDataExchange(DataExchange& dx);
  bool UpdateData(bool save_and_validate);
  void OnFilterCheck(int32_t& field, int edit_id);

  WizardState m_state;  // the copy being edited, during a run
  bool built_ = false;
};

}  // namespace quorvane::ui
