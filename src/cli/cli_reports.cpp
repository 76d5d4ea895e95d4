#include "cli/cli_reports.h"

#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/row_text.h"
#include "recovery/engine_texts.h"

namespace quorvane::cli {

namespace {
constexpr int kBarCells = 40;
bool g_quiet = false;
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

StderrProgress::StderrProgress() : draw_(!g_quiet && StderrIsTerminal()) {}

StderrProgress::~StderrProgress() {
  if (drawn_) std::fputc('\n', stderr);
}

void StderrProgress::ShowState() {
  if (!draw_) return;
  const ProgressState& at = state();
  const int64_t span = static_cast<int64_t>(at.high) - at.low;
  const int cells =
      span <= 0 ? 0 : static_cast<int>((at.pos - at.low) * int64_t{kBarCells} / span);
  if (cells == last_cells_) return;
  last_cells_ = cells;
  std::string bar = "\r[" + std::string(static_cast<size_t>(cells), '#') +
                    std::string(static_cast<size_t>(kBarCells - cells), ' ') + "] " +
                    std::to_string(at.pos) + "/" + std::to_string(at.high);
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
