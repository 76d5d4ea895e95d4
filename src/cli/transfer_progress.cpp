#include "cli/transfer_progress.h"

#include <cstdio>

#include "cli/cli_reports.h"
#include "cli/terminal.h"

namespace quorvane::cli {

namespace {
constexpr int kBarCells = 30;
// A terminal redrawn more often than this only costs the copy time.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
}  // namespace

std::string ByteCountText(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string DurationText(double seconds) {
  const auto whole = static_cast<uint64_t>(seconds < 0 ? 0 : seconds + 0.5);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%llu:%02u:%02u", static_cast<unsigned long long>(whole / 3600),
                  static_cast<unsigned>(whole / 60 % 60), static_cast<unsigned>(whole % 60));
  else
    std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(whole / 60),
                  static_cast<unsigned>(whole % 60));
  return text;
}

std::string RateText(uint64_t done, uint64_t total, double seconds, const char* unit) {
  // Under half a second the rate says more about starting than copying.
  if (seconds < 0.5 || done == 0) return {};
  const double rate = static_cast<double>(done) / seconds;
  std::string text = "  ";
  if (std::string_view(unit) == "B") {
    text += ByteCountText(static_cast<uint64_t>(rate)) + "/s";
  } else {
    text += std::to_string(static_cast<uint64_t>(rate)) + " " + unit + "/s";
  }
  if (total > done) text += "  " + DurationText(static_cast<double>(total - done) / rate) + " left";
  return text;
}

ByteProgress::ByteProgress(uint64_t total_bytes, size_t total_files)
    : draw_(!Quiet() && StderrIsTerminal()),
      total_bytes_(total_bytes),
      total_files_(total_files),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

ByteProgress::~ByteProgress() {
  if (!draw_) return;
  Draw(true);
  std::fputc('\n', stderr);
}

ProgressBar& ByteProgress::BeginFile(uint64_t size) {
  file_size_ = size;
  file_bytes_ = 0;
  bar_.SetRange32(0, 0);
  return bar_;
}

void ByteProgress::EndFile() {
  done_bytes_ += file_size_;
  file_size_ = file_bytes_ = 0;
  ++files_ended_;
  Draw(false);  // the last state is drawn when the bar goes
}

void ByteProgress::Clear() {
  if (!on_line_) return;
  std::fputs("\r\033[K", stderr);
  on_line_ = false;
}

void ByteProgress::FileBar::ShowState() {
  const ProgressState& at = state();
  const int64_t span = static_cast<int64_t>(at.high) - at.low;
  // The engine empties its bar at the end of a copy: what was reached stays.
  if (span <= 0) return;
  const uint64_t reached = static_cast<uint64_t>(
      static_cast<double>(owner_.file_size_) * static_cast<double>(at.pos - at.low) /
      static_cast<double>(span));
  if (reached > owner_.file_bytes_) owner_.file_bytes_ = reached;
  owner_.Draw(false);
}

void ByteProgress::Draw(bool now) {
  if (!draw_) return;
  const auto time = std::chrono::steady_clock::now();
  if (!now && time - last_draw_ < kRedrawEvery) return;
  last_draw_ = time;
  const uint64_t done = done_bytes_ + file_bytes_;
  const int cells =
      total_bytes_ == 0 ? kBarCells
                        : static_cast<int>(static_cast<double>(done) * kBarCells /
                                           static_cast<double>(total_bytes_));
  const int percent = total_bytes_ == 0 ? 100
                                        : static_cast<int>(static_cast<double>(done) * 100 /
                                                           static_cast<double>(total_bytes_));
  char head[32];
  std::snprintf(head, sizeof head, "] %3d%%  ", percent);
  std::string line = "\r\033[K[" + std::string(static_cast<size_t>(cells), '#') +
                     std::string(static_cast<size_t>(kBarCells - cells), ' ') + head +
                     ByteCountText(done) + " of " + ByteCountText(total_bytes_) + "  " +
                     std::to_string(files_ended_) + "/" + std::to_string(total_files_) + " files" +
                     RateText(done, total_bytes_,
                              std::chrono::duration<double>(time - start_).count(), "B");
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  on_line_ = true;
}

}  // namespace quorvane::cli
