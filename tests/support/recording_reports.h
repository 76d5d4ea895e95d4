#pragma once
// Fakes of the status label, progress bar and message box that write every
// operation, in order, as one line of a shared log:
//   "status: Extracting the boot sector info ..."
//   "progress: range 0 45"   "progress: delta 0"   "progress: step 1"
//   "progress: stepit"       "progress: pos 45"
//   "box: File Undeleted ! | Quorvane | 4160"   ("(title)" when no caption)
// All of it is safe across threads.
#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "recovery/message_box_host.h"
#include "recovery/report.h"

namespace quorvane::testing {

class ReportLog {
 public:
  void Add(std::string line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
  }
  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  // Lines that begin with `prefix` ("status: ", "box: ", "progress: ").
  std::vector<std::string> LinesStartingWith(const std::string& prefix) const {
    std::vector<std::string> matching = Lines();
    std::erase_if(matching, [&](const std::string& line) { return !line.starts_with(prefix); });
    return matching;
  }
  size_t Count(const std::string& line) const {
    const auto lines = Lines();
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
  }
  // All lines, one per row, for failure messages.
  std::string Dump() const {
    std::string all;
    for (const auto& line : Lines()) all += line + '\n';
    return all;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

class RecordingStatus final : public StatusText {
 public:
  explicit RecordingStatus(ReportLog& log) : log_(log) {}
  void SetText(const std::string& text) override { log_.Add("status: " + text); }
  // The text last set.
  std::string text() const {
    const auto set = log_.LinesStartingWith("status: ");
    return set.empty() ? std::string() : set.back().substr(8);
  }

 private:
  ReportLog& log_;
};

class RecordingProgress final : public ProgressBar {
 public:
  explicit RecordingProgress(ReportLog& log) : log_(log) {}
  void SetRange32(int32_t low, int32_t high) override {
    Add("range " + std::to_string(low) + " " + std::to_string(high));
  }
  void DeltaPos(int32_t delta) override { Add("delta " + std::to_string(delta)); }
  void SetStep(int32_t step) override { Add("step " + std::to_string(step)); }
  void StepIt() override { Add("stepit"); }
  void SetPos(int32_t pos) override { Add("pos " + std::to_string(pos)); }

 private:
  void Add(const std::string& operation) { log_.Add("progress: " + operation); }
  ReportLog& log_;
};

// Answers every box with OK.
class RecordingBoxes final : public MessageBoxHost {
 public:
  explicit RecordingBoxes(ReportLog& log) : log_(log) {}
  int ShowMessageBox(const std::string& text, const std::optional<std::string>& caption,
                     uint32_t style) override {
    log_.Add("box: " + text + " | " + caption.value_or("(title)") + " | " + std::to_string(style));
    return kIdOk;
  }

 private:
  ReportLog& log_;
};

// The three fakes over one log, for the usual case.
struct RecordingReports {
  ReportLog log;
  RecordingStatus status{log};
  RecordingProgress progress{log};
  RecordingBoxes boxes{log};
};

}  // namespace quorvane::testing
