#include "ui/progress_ctrl.h"

namespace quorvane::ui {

ProgressCtrl::ProgressCtrl(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(false);
  Show();
}

void ProgressCtrl::SetRange32(int32_t low, int32_t high) {
  state_.SetRange32(low, high);
  Show();
}
void ProgressCtrl::SetPos(int32_t pos) {
  state_.SetPos(pos);
  Show();
}
void ProgressCtrl::DeltaPos(int32_t delta) {
  state_.DeltaPos(delta);
  Show();
}
void ProgressCtrl::SetStep(int32_t step) { state_.SetStep(step); }
void ProgressCtrl::StepIt() {
  state_.StepIt();
  Show();
}

void ProgressCtrl::Show() {
  // An empty range shows an empty bar (QProgressBar would show it as busy).
  if (state_.high <= state_.low) {
    setRange(0, 1);
    setValue(0);
    return;
  }
  setRange(state_.low, state_.high);
  setValue(state_.pos);
}

}  // namespace quorvane::ui
