#pragma once
// The engine's status label and progress bar as a worker sees them: every
// operation goes through a UiReportQueue to the page's real controls, in
// order. The position is answered from a copy of the bar's state kept on
// the worker's side, so no question waits for the user-interface thread.
#include <QLabel>
#include <QPointer>

#include "recovery/report.h"
#include "ui/report_gate.h"
#include "ui/progress_ctrl.h"
#include "ui/ui_report_queue.h"

namespace quorvane::ui {

class QueuedStatusText final : public StatusText {
 public:
  // `pass`: the label shows the text only while the pass is valid.
  QueuedStatusText(UiReportQueue& queue, QLabel* label, ReportGate::Pass pass = {})
      : queue_(queue), label_(label), pass_(pass) {}
  void SetText(const std::string& text) override;

 private:
  UiReportQueue& queue_;
  QPointer<QLabel> label_;
  ReportGate::Pass pass_;
};

class QueuedProgressBar final : public ProgressBar {
 public:
  // Make on the user-interface thread: the copy starts from the bar's state.
  // The bar takes the operations only while `pass` is valid.
  QueuedProgressBar(UiReportQueue& queue, ProgressCtrl* bar, ReportGate::Pass pass = {});

  void SetRange32(int32_t low, int32_t high) override;
  void DeltaPos(int32_t delta) override;
  void SetStep(int32_t step) override;
  void StepIt() override;
  void SetPos(int32_t pos) override;
  int32_t GetPos() override;

 private:
  template <typename Op>
  void Forward(Op op);
  UiReportQueue& queue_;
  QPointer<ProgressCtrl> bar_;
  ReportGate::Pass pass_;
  ProgressState shadow_;
};

}  // namespace quorvane::ui
