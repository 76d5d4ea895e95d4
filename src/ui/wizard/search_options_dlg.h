#pragma once
// The search options dialog: the name, extension and deleted-directory
// filters, each a check box that switches it on and an edit for its text.
// The caller sets the fields, runs DoModal() and reads the six filter
// fields back only when it returns kIdOk.
#include <QDialog>
#include <QString>
#include <cstdint>

namespace quorvane::ui {

class DataExchange;

class CSearchOptionsDlg : public QDialog {
  Q_OBJECT

 public:
  CSearchOptionsDlg();
  ~CSearchOptionsDlg() override;

  // Runs the dialog modally over `owner` (a page of the wizard): 1 (OK) or
  // 2 (Cancel, Escape, closed).
  int DoModal(QWidget* owner = nullptr);

  // The search descends into deleted directories, so the deleted-directory
  // filter may be used. Set before every run.
  int32_t m_bDeletedDirsEnabled = 0;
  int32_t m_bNameFilter = 0;
  QString m_strNameFilter;         // at most 8 characters
  int32_t m_bExtFilter = 0;
  QString m_strExtFilter;          // at most 3 characters
  int32_t m_bDeletedDirFilter = 0;
  QString m_strDeletedDirFilter;   // at most 8 characters

  void OnNameFilterCheck();
  void OnExtFilterCheck();
  void OnDeletedDirFilterCheck();
  void OnOK();

  // The tip text of a control (empty: none).
  static QString TipText(int id);

 public slots:
  void reject() override;

 private:
  void Build();
  void OnInitDialog();
  void DoDataExchange(DataExchange& dx);
  bool UpdateData(bool save_and_validate);
  void OnFilterCheck(int32_t& field, int edit_id);

  bool built_ = false;
};

}  // namespace quorvane::ui
