#pragma once
// The state of a platform progress bar, kept by every front end that shows
// or mirrors one: range 0..100, step 10 and position 0 at first; setting the
// range, the position or a delta clamps the position into the range; a step
// past the top wraps round from the bottom; a step over an empty range does
// nothing.
#include <algorithm>
#include <cstdint>

#include "recovery/report.h"

namespace quorvane {

struct ProgressState {
  int32_t low = 0;
  int32_t high = 100;
  int32_t pos = 0;
  int32_t step = 10;

  void SetRange32(int32_t new_low, int32_t new_high) {
    low = new_low;
    high = new_high;
    Clamp();
  }
  void SetPos(int32_t new_pos) {
    pos = new_pos;
    Clamp();
  }
  void DeltaPos(int32_t delta) {
    pos = Saturate(static_cast<int64_t>(pos) + delta);
    Clamp();
  }
  void SetStep(int32_t new_step) { step = new_step; }
  void StepIt() {
    if (high <= low) return;
    int64_t next = static_cast<int64_t>(pos) + step;
    const int64_t span = static_cast<int64_t>(high) - low;
    if (next > high) next = (next - low) % span + low;
    pos = Saturate(next);
    Clamp();
  }

 private:
  static int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  }
  void Clamp() {
    if (high >= low) pos = std::clamp(pos, low, high);
  }
};

// A progress bar that keeps that state and shows it anew after every change
// of range or position: the wizard's bar and the terminal's.
class ShownProgressBar : public ProgressBar {
 public:
  void SetRange32(int32_t low, int32_t high) override {
    state_.SetRange32(low, high);
    ShowState();
  }
  void DeltaPos(int32_t delta) override {
    state_.DeltaPos(delta);
    ShowState();
  }
  void SetStep(int32_t step) override { state_.SetStep(step); }
  void StepIt() override {
    state_.StepIt();
    ShowState();
  }
  void SetPos(int32_t pos) override {
    state_.SetPos(pos);
    ShowState();
  }
  const ProgressState& state() const { return state_; }

 protected:
  virtual void ShowState() = 0;

 private:
  ProgressState state_;
};

}  // namespace quorvane
