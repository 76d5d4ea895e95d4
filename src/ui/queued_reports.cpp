#include "ui/queued_reports.h"

namespace quorvane::ui {

void QueuedStatusText::SetText(const std::string& text) {
  queue_.Post([label = label_, pass = pass_,
               text = QString::fromLatin1(text.data(), qsizetype(text.size()))] {
    if (label && pass.Valid()) label->setText(text);
  });
}

QueuedProgressBar::QueuedProgressBar(UiReportQueue& queue, ProgressCtrl* bar,
                                     ReportGate::Pass pass)
    : queue_(queue), bar_(bar), pass_(pass), shadow_(bar ? bar->state() : ProgressState{}) {}

template <typename Op>
void QueuedProgressBar::Forward(Op op) {
  op(shadow_);
  queue_.Post([bar = bar_, pass = pass_, op] {
    if (bar && pass.Valid()) op(*bar);
  });
}

void QueuedProgressBar::SetRange32(int32_t low, int32_t high) {
  Forward([low, high](auto& bar) { bar.SetRange32(low, high); });
}
void QueuedProgressBar::DeltaPos(int32_t delta) {
  Forward([delta](auto& bar) { bar.DeltaPos(delta); });
}
void QueuedProgressBar::SetStep(int32_t step) {
  Forward([step](auto& bar) { bar.SetStep(step); });
}
void QueuedProgressBar::StepIt() {
  Forward([](auto& bar) { bar.StepIt(); });
}
void QueuedProgressBar::SetPos(int32_t pos) {
  Forward([pos](auto& bar) { bar.SetPos(pos); });
}
int32_t QueuedProgressBar::GetPos() { return shadow_.pos; }

}  // namespace quorvane::ui
