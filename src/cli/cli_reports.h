#pragma once
// The engine's and the search's reports on a terminal: status texts and
// message boxes on standard error, a progress bar when it is a terminal.
#include <cstdint>
#include <functional>
#include <string>

#include "recovery/progress_state.h"
#include "cli/terminal.h"
#include "recovery/message_box_host.h"
#include "recovery/report.h"

namespace quorvane::cli {

// --quiet: no status texts and no progress bar; messages are still written.
// Set before any report object is made.
void SetQuiet(bool quiet);
bool Quiet();

// One line on standard error: the program's title, ": " and `text` (bytes).
void PrintError(const std::string& text);

// Writes each status text to standard error, one per line. With
// `only_on_terminal`, stays silent unless standard error is a terminal; with
// `latin1_text`, the text's bytes are shown as Latin-1 characters on a
// terminal (a drive path, whose deleted mark is byte 0xE5).
class StderrStatus final : public StatusText {
 public:
  explicit StderrStatus(bool only_on_terminal = false, bool latin1_text = false);
  void SetText(const std::string& text) override;

 private:
  bool enabled_;
  bool latin1_text_;
};

// Where standard error is no terminal, nobody watches a copy: of a run's
// status texts only the last, the engine's final word on the file, is
// written, when the run is over.
class LastStatus final : public StatusText {
 public:
  void SetText(const std::string& text) override { last_ = text; }
  // Writes the last text, if any, and forgets it.
  void Flush();

 private:
  std::string last_;
};

// Keeps the bar's state; draws it on standard error only when that is a
// terminal, redrawing when the shown fraction changes, with the clusters a
// second and the time left.
class StderrProgress final : public ShownProgressBar {
 public:
  StderrProgress();
  ~StderrProgress() override;
  // Ends the bar's line, if drawn, and starts anew with `label` (the file's
  // number, "2/5 ") before it.
  void Restart(std::string label);

 private:
  void ShowState() override;
  bool draw_;
  bool drawn_ = false;
  int last_cells_ = -1;
  int64_t last_second_ = -1;
  std::string label_;
  int64_t start_ns_ = 0;  // when the range was last set
};

// A box becomes one line on standard error, "CAPTION: TEXT"; the caption of a
// box without one is the program's title. Answers OK (Yes for a question).
// "CreateFile () Failed !" is followed by why the volume could not be opened,
// as `open_failure` gives it, in parentheses.
class StderrMessageBoxes final : public MessageBoxHost {
 public:
  explicit StderrMessageBoxes(std::function<std::string()> open_failure = {})
      : open_failure_(std::move(open_failure)) {}
  int ShowMessageBox(const std::string& text, const std::optional<std::string>& caption,
                     uint32_t style) override;

 private:
  std::function<std::string()> open_failure_;
};

}  // namespace quorvane::cli
