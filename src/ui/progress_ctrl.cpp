#include "ui/progress_ctrl.h"

namespace quorvane::ui {

ProgressCtrl::ProgressCtrl(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(false);
  ShowState();
}

void ProgressCtrl::ShowState() {
  // An empty range shows an empty bar (QProgressBar would show it as busy).
  if (state().high <= state().low) {
    setRange(0, 1);
    setValue(0);
    return;
  }
  setRange(state().low, state().high);
  setValue(state().pos);
}

}  // namespace quorvane::ui
