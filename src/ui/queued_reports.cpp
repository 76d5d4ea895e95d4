#include "ui/queued_reports.h"

#include "ui/volume_text.h"

namespace quorvane::ui {

void QueuedStatusText::SetText(const std::string& text) {
  if (before_) before_();
  queue_.Post([label = label_, pass = pass_,
               text = VolumeText(text)] {
    if (label && pass.Valid()) label->setText(text);
  });
}

template <typename Op>
void QueuedProgressBar::Forward(Op op) {
  if (before_) before_();
  queue_.Post([bar = bar_, pass = pass_, later = paint_ == Paint::kWithNextPaint, op] {
    if (!bar || !pass.Valid()) return;
    if (later) bar->setUpdatesEnabled(false);
    op(*bar);
    if (later) bar->setUpdatesEnabled(true);  // asks for a paint with the next one
  });
}

void QueuedProgressBar::SetRange32(int32_t low, int32_t high) {
  Forward([low, high](ProgressCtrl& bar) { bar.SetRange32(low, high); });
}
void QueuedProgressBar::DeltaPos(int32_t delta) {
  Forward([delta](ProgressCtrl& bar) { bar.DeltaPos(delta); });
}
void QueuedProgressBar::SetStep(int32_t step) {
  Forward([step](ProgressCtrl& bar) { bar.SetStep(step); });
}
void QueuedProgressBar::StepIt() {
  Forward([](ProgressCtrl& bar) { bar.StepIt(); });
}
void QueuedProgressBar::SetPos(int32_t pos) {
  Forward([pos](ProgressCtrl& bar) { bar.SetPos(pos); });
}

}  // namespace quorvane::ui
