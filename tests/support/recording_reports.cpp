#include "support/recording_reports.h"

#include <algorithm>
#include <cstdint>

namespace quorvane::testing {

void ReportLog::Add(std::string line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(line));
}

std::vector<std::string> ReportLog::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::vector<std::string> ReportLog::LinesStartingWith(const std::string& prefix) const {
  std::vector<std::string> matching;
  for (const auto& line : Lines())
    if (line.starts_with(prefix)) matching.push_back(line);
  return matching;
}

size_t ReportLog::Count(const std::string& line) const {
  const auto lines = Lines();
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

void ReportLog::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

std::string ReportLog::Dump() const {
  std::string all;
  for (const auto& line : Lines()) all += line + '\n';
  return all;
}

void RecordingStatus::SetText(const std::string& text) {
  std::lock_guard lock(mutex_);
  text_ = text;
  log_.Add("status: " + text);
}

std::string RecordingStatus::text() const {
  std::lock_guard lock(mutex_);
  return text_;
}

// As the platform's bar does it: first up to the bottom, then down to the top.
void RecordingProgress::Clamp() {
  if (pos_ < low_) pos_ = low_;
  if (pos_ > high_) pos_ = high_;
}

void RecordingProgress::SetRange32(int32_t low, int32_t high) {
  std::lock_guard lock(mutex_);
  low_ = low;
  high_ = high;
  Clamp();
  log_.Add("progress: range " + std::to_string(low) + " " + std::to_string(high));
}

void RecordingProgress::DeltaPos(int32_t delta) {
  std::lock_guard lock(mutex_);
  const int64_t pos = static_cast<int64_t>(pos_) + delta;  // no overflow on huge deltas
  pos_ = static_cast<int32_t>(std::clamp<int64_t>(pos, INT32_MIN, INT32_MAX));
  Clamp();
  log_.Add("progress: delta " + std::to_string(delta));
}

void RecordingProgress::SetStep(int32_t step) {
  std::lock_guard lock(mutex_);
  step_ = step;
  log_.Add("progress: step " + std::to_string(step));
}

void RecordingProgress::StepIt() {
  std::lock_guard lock(mutex_);
  ++steps_;
  if (low_ != high_) {
    // Past the top the bar starts over from the bottom.
    const int64_t span = static_cast<int64_t>(high_) - low_;
    int64_t pos = static_cast<int64_t>(pos_) + step_;
    if (pos > high_) pos = (pos - low_) % span + low_;
    if (pos < low_) pos = (pos - low_) % span + high_;
    pos_ = static_cast<int32_t>(pos);
  }
  log_.Add("progress: stepit");
}

void RecordingProgress::SetPos(int32_t pos) {
  std::lock_guard lock(mutex_);
  pos_ = pos;
  Clamp();
  log_.Add("progress: pos " + std::to_string(pos));
}

int32_t RecordingProgress::pos() const {
  std::lock_guard lock(mutex_);
  return pos_;
}

int32_t RecordingProgress::high() const {
  std::lock_guard lock(mutex_);
  return high_;
}
size_t RecordingProgress::steps() const {
  std::lock_guard lock(mutex_);
  return steps_;
}

int RecordingBoxes::ShowMessageBox(const std::string& text,
                                   const std::optional<std::string>& caption, uint32_t style) {
  {
    std::lock_guard lock(mutex_);
    boxes_.push_back({text, caption, style});
  }
  log_.Add("box: " + text + " | " + caption.value_or("(title)") + " | " + std::to_string(style));
  return kIdOk;
}

std::vector<ShownBox> RecordingBoxes::boxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

}  // namespace quorvane::testing
