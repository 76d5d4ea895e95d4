#pragma once
// The status label and progress bar of a page as a worker sees them: every
// operation goes through a UiReportQueue to the page's real controls, in
// order, and reaches them only while the run's pass is valid.
#include <QLabel>
#include <QPointer>
#include <functional>

#include "recovery/report.h"
#include "ui/progress_ctrl.h"
#include "ui/report_gate.h"
#include "ui/ui_report_queue.h"

namespace quorvane::ui {

// Runs on the worker thread before each change is queued. The results page
// ends its open batch of rows there, so that no change overtakes a row made
// before it.
using BeforeChange = std::function<void()>;

class QueuedStatusText final : public StatusText {
 public:
  QueuedStatusText(UiReportQueue& queue, QLabel* label, ReportGate::Pass pass = {},
                   BeforeChange before = {})
      : queue_(queue), label_(label), pass_(pass), before_(std::move(before)) {}
  void SetText(const std::string& text) override;

 private:
  UiReportQueue& queue_;
  QPointer<QLabel> label_;
  ReportGate::Pass pass_;
  BeforeChange before_;
};

class QueuedProgressBar final : public ProgressBar {
 public:
  // kWithNextPaint: the bar's state changes at once, as each operation is
  // carried over, and it is painted with the page's next paint rather than
  // on the spot. A search blinks the bar once per directory, thousands of
  // times a second, and a progress bar otherwise paints itself at every
  // visible change.
  enum class Paint { kAtOnce, kWithNextPaint };

  QueuedProgressBar(UiReportQueue& queue, ProgressCtrl* bar, ReportGate::Pass pass = {},
                    Paint paint = Paint::kAtOnce, BeforeChange before = {})
      : queue_(queue), bar_(bar), pass_(pass), paint_(paint), before_(std::move(before)) {}

  void SetRange32(int32_t low, int32_t high) override;
  void DeltaPos(int32_t delta) override;
  void SetStep(int32_t step) override;
  void StepIt() override;
  void SetPos(int32_t pos) override;

 private:
  template <typename Op>
  void Forward(Op op);
  UiReportQueue& queue_;
  QPointer<ProgressCtrl> bar_;
  ReportGate::Pass pass_;
  Paint paint_;
  BeforeChange before_;
};

}  // namespace quorvane::ui
