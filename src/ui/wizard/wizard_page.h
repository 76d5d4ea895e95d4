#pragma once
// A page of the wizard. How to add one:
//   1. Write its template (res/dialogs/, a DialogTemplate) and a class
//      deriving from CWizardPage that passes the template and the context.
//   2. Override DoDataExchange() to exchange fields with controls, and
//      OnInitDialog() / OnSetActive() / OnWizardNext() / OnWizardBack() as
//      the page needs; OnSetActive() posts the page's button mask with
//      PostWizardButtons() and then calls CWizardPage::OnSetActive().
//   3. A page with a worker overrides RaiseAbort(), CloseWaitingBoxes() and
//      JoinWorkers(): the sheet calls them, phase by phase over all pages,
//      when the wizard ends, before any page is destroyed.
//   4. CLauncherDlg owns the page and adds it to the sheet.
// The page's controls are made the first time the page is shown (Create()),
// and found by identifier with Control<T>(id).
#include <QString>
#include <QWidget>
#include <vector>

#include "res/dialog_template.h"
#include "ui/find_control.h"
#include "ui/wizard/data_exchange.h"
#include "ui/wizard/wizard_context.h"

namespace quorvane::ui {

class CWizardPage : public QWidget {
  Q_OBJECT

 public:
  CWizardPage(const res::DialogTemplate& dialog, WizardContext& context);
  ~CWizardPage() override;

  QString Title() const;
  const res::DialogTemplate& dialog() const { return dialog_; }
  bool IsCreated() const { return created_; }
  // Makes the controls and runs OnInitDialog(), once.
  void Create();
  // The first control that takes the focus, or none.
  QWidget* FirstTabStop() const;
  // Every control that takes the focus, in tab order (template order).
  std::vector<QWidget*> TabStops() const;

  // The sheet's calls, on the user-interface thread.
  // Every time the page becomes current. Default: fields into controls,
  // except on the first activation (the set-up did that).
  virtual bool OnSetActive();
  // Before the page is left by Back or Next. Default: controls into fields;
  // false keeps the page.
  virtual bool OnKillActive();
  // Next / Back / Finish pressed. False keeps the page (or the wizard).
  virtual bool OnWizardNext() { return true; }
  virtual bool OnWizardBack() { return true; }
  virtual bool OnWizardFinish() { return true; }

  // The wizard's end, in three phases over all pages: raise the page's abort
  // flags; close every box a worker waits on; join the workers.
  virtual void RaiseAbort() {}
  virtual void CloseWaitingBoxes() {}
  virtual void JoinWorkers() {}

 protected:
  // Once, when the page's controls have been made. Default: fields into
  // controls.
  virtual void OnInitDialog();
  virtual void DoDataExchange(DataExchange& dx);
  // Exchanges fields and controls: into the fields when `save_and_validate`.
  // False when a value failed its check.
  bool UpdateData(bool save_and_validate = true);

  template <typename T = QWidget>
  T* Control(int id) const {
    return FindControl<T>(this, id);
  }
  // Posts the set-wizard-buttons request (Back = 1, Next = 2, Finish = 4):
  // it takes effect after the activation has finished.
  void PostWizardButtons(int mask);

  WizardContext& context_;

 private:
  const res::DialogTemplate& dialog_;
  std::vector<QWidget*> controls_;
  bool created_ = false;
  bool first_activation_ = true;
};

}  // namespace quorvane::ui
