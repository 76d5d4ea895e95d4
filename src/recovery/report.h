#pragma once
// What the engine and the search report through: the page's status label and
// progress bar, as small interfaces the wizard and the command line implement.
#include <cstdint>
#include <string>

namespace quorvane {

class StatusText {
 public:
  virtual ~StatusText() = default;
  virtual void SetText(const std::string& text) = 0;  // bytes, Latin-1 on screen
};

// The progress bar operations, named after the platform messages they stand for.
class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetRange32(int32_t low, int32_t high) = 0;  // PBM_SETRANGE32 (1030)
  virtual void DeltaPos(int32_t delta) = 0;                // PBM_DELTAPOS (1027)
  virtual void SetStep(int32_t step) = 0;                  // PBM_SETSTEP (1028)
  virtual void StepIt() = 0;                               // PBM_STEPIT (1029)
  virtual void SetPos(int32_t pos) = 0;                    // PBM_SETPOS (1026)
};

}  // namespace quorvane
