#pragma once
// Several deleted files recovered in one run, one after the other in the
// order given: one progress bar over all their bytes, the engine's message
// boxes kept and told once, in one summary, at the end.
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "recovery/message_box_host.h"
#include "recovery/progress_state.h"
#include "recovery/report.h"
#include "recovery/undelete_engine.h"

namespace quorvane {

// One file of the run: its path as the search listed it, the options a
// single recovery of it would take, and its size as listed (for the bar).
struct BatchFile {
  std::string path;
  UndeleteOptions options;
  uint64_t size = 0;
};

// The engine steps a bar through one file's clusters; this shows those steps
// on one bar over every file's bytes. The bar's range is 32-bit, so bytes
// are shifted down until the total fits. Only moves of a thousandth of the
// bar or more (and each file's end) reach the bar underneath.
class BatchProgress final : public ProgressBar {
 public:
  BatchProgress(ProgressBar& bar, uint64_t total_bytes);

  // Resets the bar to 0..top, empty.
  void Start();
  // The next file, of `size` bytes, begins; the one before is counted whole.
  void BeginFile(uint64_t size);
  // Fills the bar (every file has been through).
  void Finish();
  // Empties the bar (range 0..0), as the engine leaves it after an abort.
  void Empty();
  int32_t top() const { return top_; }

  // The engine's operations on the current file.
  void SetRange32(int32_t low, int32_t high) override;
  void DeltaPos(int32_t delta) override;
  void SetStep(int32_t step) override;
  void StepIt() override;
  void SetPos(int32_t pos) override;

 private:
  void Show(bool always);
  ProgressBar& bar_;
  unsigned shift_ = 0;
  int32_t top_ = 0;
  int32_t grain_ = 1;
  uint64_t done_ = 0;       // bytes of the files before the current one
  uint64_t file_size_ = 0;  // the current file's
  uint64_t file_done_ = 0;  // its bytes copied, as far as the engine's bar has gone
  bool in_file_ = false;
  ProgressState state_;  // the engine's bar for the current file
  int32_t shown_ = -1;
};

// Keeps every box instead of showing it, answering as its default button.
class KeptBoxes final : public MessageBoxHost {
 public:
  struct Box {
    std::string text;
    std::optional<std::string> caption;
    uint32_t style = 0;
  };
  int ShowMessageBox(const std::string& text, const std::optional<std::string>& caption,
                     uint32_t style) override;
  // The boxes kept since the last call.
  std::vector<Box> Take();

 private:
  std::vector<Box> boxes_;
};

// What a run did, file by file, and the summary that tells it.
class BatchTally {
 public:
  explicit BatchTally(size_t files) : files_(files) {}
  // `boxes` are those the engine showed for this file.
  void Add(const std::string& path, const UndeleteOutcome& outcome,
           const std::vector<KeptBoxes::Box>& boxes);

  size_t undeleted() const { return undeleted_; }
  size_t partly() const { return partly_; }
  size_t notUndeleted() const { return not_undeleted_; }
  size_t notTried() const { return files_ - undeleted_ - partly_ - not_undeleted_; }
  bool aborted() const { return aborted_.has_value(); }
  // The abort flag stopped the run between files.
  void MarkAborted();
  // Every file came back whole and intact.
  bool allIntact() const;

  // The first line: "3 of 5 files undeleted, 1 partly undeleted, 1 not undeleted."
  std::string CountsLine() const;
  // The summary box's text: the counts, the undeleted files that are not
  // intact by condition, an abort, and what the engine said of each file
  // that did not come back whole.
  std::string Summary() const;

 private:
  size_t files_;
  size_t undeleted_ = 0, partly_ = 0, not_undeleted_ = 0;
  std::map<FileCondition, size_t> not_intact_;  // undeleted files only
  // Set when the run was aborted: the file the abort cut short, or empty
  // when it came between files.
  std::optional<std::string> aborted_;
  std::vector<std::string> troubles_;           // "PATH: what the engine said"
};

// A second label that names the file being recovered (the results page's
// caption), and what it reads again once the last file is done.
struct NamingLabel {
  StatusText& label;
  std::string after;
};

// Recovers `files` in order with one engine, until the end or the abort
// flag. Before each file `status` (and `naming`, when given) reads
// "Undeleting N of M: PATH"; the engine's own texts follow on `status`.
// The engine's boxes are kept; at the end one box on `boxes` tells the
// summary, and `status` keeps its counts line. Runs on a worker thread.
BatchTally UndeleteBatch(DriveSource& drives, const std::vector<BatchFile>& files,
                         StatusText& status, const NamingLabel* naming, ProgressBar& bar,
                         MessageBoxHost& boxes, const std::atomic<int32_t>& abort);

}  // namespace quorvane
