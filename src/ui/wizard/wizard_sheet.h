#pragma once
// The wizard: a sheet of pages in a fixed order with Back, Next or Finish,
// and Cancel. The sheet only refers to its pages; their owner (the main
// window) keeps them alive longer than any run of the sheet.
#include <QDialog>
#include <QPointer>
#include <vector>

class QPushButton;
class QStackedWidget;

namespace quorvane::ui {

class CWizardPage;

class CWizardSheet : public QDialog {
  Q_OBJECT

 public:
  // Button mask bits of the set-wizard-buttons request.
  static constexpr int kBack = 1;
  static constexpr int kNext = 2;
  static constexpr int kFinish = 4;
  // The identifiers of the sheet's buttons.
  static constexpr int kBackId = 12323;
  static constexpr int kNextId = 12324;
  static constexpr int kFinishId = 12325;
  static constexpr int kCancelId = 2;

  explicit CWizardSheet(QWidget* parent = nullptr);
  ~CWizardSheet() override;

  void AddPage(CWizardPage* page);
  int PageCount() const { return int(pages_.size()); }
  int ActiveIndex() const { return active_; }
  CWizardPage* ActivePage() const;

  // Shows the sheet with its first page and returns at once, without
  // making it modal.
  void Begin();
  // Runs the sheet modally over its owner, from its first page, until the
  // wizard ends; returns the result.
  int DoModal();

  // Enables Back and Next (or shows Finish in Next's place) as `mask` says.
  void SetWizardButtons(int mask);
  // The same, applied after the events now waiting (a page's activation).
  void PostWizardButtons(int mask);
  // Ends the wizard as if Cancel had been pressed, after the events now
  // waiting.
  void PostPressCancel();

  // Ends every page's work: abort flags, then boxes, then workers. Runs when
  // the wizard ends; running it again does nothing more.
  void StopPageWork();

  void Next();
  // Moves on from `page` as Next does once the page has agreed, if `page`
  // is still the active one: for a page whose Next starts a check that ends
  // later (OnWizardNext() returned false meanwhile).
  void NextFrom(CWizardPage* page);
  void Back();
  void Finish();

 protected:
  void done(int result) override;

 private:
  void BuildFrame();
  // The frame and the first page, not yet shown.
  void Open();
  void SetActivePage(int index);

  // Null once a page has gone: its owner may destroy it before the sheet.
  std::vector<QPointer<CWizardPage>> pages_;
  int active_ = -1;
  bool framed_ = false;
  bool stopped_ = false;
  QStackedWidget* stack_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* finish_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace quorvane::ui
