#include "cli/cli_reports.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/row_text.h"
#include "cli/transfer_progress.h"
#include "recovery/engine_texts.h"

namespace quorvane::cli {

namespace {
constexpr int kBarCells = 40;
bool g_quiet = false;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

void SetQuiet(bool quiet) { g_quiet = quiet; }
bool Quiet() { return g_quiet; }

void PrintError(const std::string& text) {
  std::string line = StderrIsTerminal() ? "\r\033[K" : "";
  line.append(ProgramTitle()).append(": ").append(text).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

StderrStatus::StderrStatus(bool only_on_terminal, bool latin1_text)
    : enabled_(!g_quiet && (!only_on_terminal || StderrIsTerminal())),
      latin1_text_(latin1_text && StderrIsTerminal()) {}

void StderrStatus::SetText(const std::string& text) {
  if (!enabled_) return;
  // One write per text; on a terminal, clear a drawn bar first.
  std::string line = StderrIsTerminal() ? "\r\033[K" : "";
  line.append(latin1_text_ ? Latin1ToUtf8(text) : text).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void LastStatus::Flush() {
  if (last_.empty()) return;
  last_.push_back('\n');
  std::fwrite(last_.data(), 1, last_.size(), stderr);
  last_.clear();
}

StderrProgress::StderrProgress() : draw_(!g_quiet && StderrIsTerminal()), start_ns_(NowNs()) {}

StderrProgress::~StderrProgress() {
  if (drawn_) std::fputc('\n', stderr);
}

void StderrProgress::Restart(std::string label) {
  if (drawn_) std::fputc('\n', stderr);
  drawn_ = false;
  last_cells_ = -1;
  label_ = std::move(label);
  start_ns_ = NowNs();
}

void StderrProgress::ShowState() {
  if (!draw_) return;
  const ProgressState& at = state();
  const int64_t span = static_cast<int64_t>(at.high) - at.low;
  // A new range is a new copy: its rate counts from here.
  if (at.pos == at.low) start_ns_ = NowNs();
  const int cells =
      span <= 0 ? 0 : static_cast<int>((at.pos - at.low) * int64_t{kBarCells} / span);
  const int64_t elapsed_ns = NowNs() - start_ns_;
  // Redrawn when the bar moves, and each second for the rate.
  if (cells == last_cells_ && elapsed_ns / 1000000000 == last_second_) return;
  last_cells_ = cells;
  last_second_ = elapsed_ns / 1000000000;
  std::string bar = "\r" + label_ + "[" + std::string(static_cast<size_t>(cells), '#') +
                    std::string(static_cast<size_t>(kBarCells - cells), ' ') + "] " +
                    std::to_string(at.pos) + "/" + std::to_string(at.high);
  if (span > 0)
    bar += RateText(static_cast<uint64_t>(at.pos - at.low), static_cast<uint64_t>(span),
                    static_cast<double>(elapsed_ns) / 1e9, "clusters");
  bar += "\033[K";
  std::fputs(bar.c_str(), stderr);
  drawn_ = true;
}

int StderrMessageBoxes::ShowMessageBox(const std::string& text,
                                       const std::optional<std::string>& caption,
                                       uint32_t style) {
  std::string line = StderrIsTerminal() ? "\r\033[K" : "";
  line.append(caption ? *caption : ProgramTitle()).append(": ").append(text);
  if (open_failure_ && text == texts::kCreateFileFailed) {
    if (const std::string why = open_failure_(); !why.empty()) line.append(" (").append(why).append(")");
  }
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  return HasYesNoButtons(style) ? kIdYes : kIdOk;
}

}  // namespace quorvane::cli
