#pragma once
// Fakes of the status label, progress bar and message box that write every
// operation, in order, as one line of a shared log:
//   "status: Extracting the boot sector info ..."
//   "progress: range 0 45"   "progress: delta 0"   "progress: step 1"
//   "progress: stepit"       "progress: pos 45"
//   "box: File Undeleted ! | Quorvane | 4160"   ("(title)" when no caption)
// All of it is safe across threads.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "recovery/report.h"
#include "recovery/message_box_host.h"

namespace quorvane::testing {

class ReportLog {
 public:
  void Add(std::string line);
  std::vector<std::string> Lines() const;
  // Lines that begin with `prefix` ("status: ", "box: ", "progress: ").
  std::vector<std::string> LinesStartingWith(const std::string& prefix) const;
  size_t Count(const std::string& line) const;
  void Clear();
  // All lines, one per row, for failure messages.
  std::string Dump() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

class RecordingStatus final : public StatusText {
 public:
  explicit RecordingStatus(ReportLog& log) : log_(log) {}
  void SetText(const std::string& text) override;
  std::string text() const;  // the text last set

 private:
  ReportLog& log_;
  mutable std::mutex mutex_;
  std::string text_;
};

// Keeps the state a platform progress bar would: range 0..100, step 10 and
// position 0 at first; setting the range, the position or a delta clamps the
// position into the range; a step past the top wraps round from the bottom;
// a step over an empty range (low == high) does nothing.
class RecordingProgress final : public ProgressBar {
 public:
  explicit RecordingProgress(ReportLog& log) : log_(log) {}
  void SetRange32(int32_t low, int32_t high) override;
  void DeltaPos(int32_t delta) override;
  void SetStep(int32_t step) override;
  void StepIt() override;
  void SetPos(int32_t pos) override;

  int32_t pos() const;
  int32_t high() const;
  size_t steps() const;  // StepIt calls

 private:
  void Clamp();
  ReportLog& log_;
  mutable std::mutex mutex_;
  int32_t low_ = 0, high_ = 100, pos_ = 0, step_ = 10;
  size_t steps_ = 0;
};

struct ShownBox {
  std::string text;
  std::optional<std::string> caption;
  uint32_t style = 0;
};

class RecordingBoxes final : public MessageBoxHost {
 public:
  explicit RecordingBoxes(ReportLog& log) : log_(log) {}
  int ShowMessageBox(const std::string& text, const std::optional<std::string>& caption,
                     uint32_t style) override;
  std::vector<ShownBox> boxes() const;  // each answered kIdOk

 private:
  ReportLog& log_;
  mutable std::mutex mutex_;
  std::vector<ShownBox> boxes_;
};

// The three fakes over one log, for the usual case.
struct RecordingReports {
  ReportLog log;
  RecordingStatus status{log};
  RecordingProgress progress{log};
  RecordingBoxes boxes{log};
};

}  // namespace quorvane::testing
