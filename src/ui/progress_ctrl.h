#pragma once
// The progress bar of a dialog: a QProgressBar that keeps the platform
// progress bar's state (range, step, position) and its operations.
#include <QProgressBar>

#include "recovery/progress_state.h"

namespace quorvane::ui {

class ProgressCtrl : public QProgressBar, public ShownProgressBar {
  Q_OBJECT

 public:
  explicit ProgressCtrl(QWidget* parent = nullptr);

 protected:
  void ShowState() override;
};

}  // namespace quorvane::ui
