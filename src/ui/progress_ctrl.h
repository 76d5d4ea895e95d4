#pragma once
// The progress bar of a dialog: a QProgressBar that keeps the platform
// progress bar's state (range, step, position) and its operations.
#include <QProgressBar>

#include "recovery/progress_state.h"

namespace quorvane::ui {

class ProgressCtrl : public QProgressBar {
  Q_OBJECT

 public:
  explicit ProgressCtrl(QWidget* parent = nullptr);

  void SetRange32(int32_t low, int32_t high);
  void SetPos(int32_t pos);
  void DeltaPos(int32_t delta);
  void SetStep(int32_t step);
  void StepIt();
  const ProgressState& state() const { return state_; }

 private:
  void Show();
  ProgressState state_;
};

}  // namespace quorvane::ui
