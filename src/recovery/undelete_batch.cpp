#include "recovery/undelete_batch.h"

#include <algorithm>
#include <cstdio>

#include "recovery/engine_texts.h"
#include "recovery/progress_state.h"

namespace quorvane {

namespace t = texts;

namespace {

// A summary lists this many files that did not come back whole, then a count.
constexpr size_t kTroublesListed = 10;

std::string Counted(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A kept box as one line: its caption when it says something the text does
// not (the failed read's caption carries the message, the text the number).
std::string BoxLine(const KeptBoxes::Box& box) {
  std::string line = box.text;
  if (box.caption && *box.caption != t::kAppCaption) {
    std::string caption = *box.caption;
    while (!caption.empty() && caption.back() == ' ') caption.pop_back();
    line = caption + " " + line;
  }
  std::replace(line.begin(), line.end(), '\n', ' ');
  return line;
}

}  // namespace

BatchProgress::BatchProgress(ProgressBar& bar, uint64_t total_bytes) : bar_(bar) {
  while ((total_bytes >> shift_) > uint64_t{INT32_MAX}) ++shift_;
  top_ = std::max<int32_t>(1, static_cast<int32_t>(total_bytes >> shift_));
  grain_ = std::max<int32_t>(1, top_ / 1000);
}

void BatchProgress::Start() {
  bar_.SetRange32(0, top_);
  bar_.SetPos(0);
  shown_ = 0;
}

void BatchProgress::BeginFile(uint64_t size) {
  if (in_file_) done_ += file_size_;
  in_file_ = true;
  file_size_ = size;
  file_done_ = 0;
  state_ = ProgressState{};
  state_.SetRange32(0, 0);
  Show(true);
}

void BatchProgress::Finish() {
  if (in_file_) done_ += file_size_;
  in_file_ = false;
  file_size_ = 0;
  file_done_ = 0;
  bar_.SetPos(top_);
  shown_ = top_;
}

void BatchProgress::Empty() {
  bar_.SetRange32(0, 0);
  bar_.DeltaPos(0);
}

void BatchProgress::SetRange32(int32_t low, int32_t high) {
  state_.SetRange32(low, high);
  Show(false);
}
void BatchProgress::DeltaPos(int32_t delta) {
  state_.DeltaPos(delta);
  Show(false);
}
void BatchProgress::SetStep(int32_t step) { state_.SetStep(step); }
void BatchProgress::StepIt() {
  state_.StepIt();
  Show(false);
}
void BatchProgress::SetPos(int32_t pos) {
  state_.SetPos(pos);
  Show(false);
}

void BatchProgress::Show(bool always) {
  // The engine empties its bar before a file and after its last box; the
  // share of the file already copied stays counted.
  if (state_.high > state_.low) {
    const double share = double(state_.pos - state_.low) / double(state_.high - state_.low);
    file_done_ = std::max(file_done_, std::min(file_size_, uint64_t(share * double(file_size_))));
  }
  const int32_t scaled =
      static_cast<int32_t>(std::min<uint64_t>(uint64_t(top_), (done_ + file_done_) >> shift_));
  if (scaled == shown_) return;
  if (!always && scaled - shown_ < grain_ && shown_ - scaled < grain_) return;
  bar_.SetPos(scaled);
  shown_ = scaled;
}

int KeptBoxes::ShowMessageBox(const std::string& text, const std::optional<std::string>& caption,
                              uint32_t style) {
  boxes_.push_back({text, caption, style});
  return HasYesNoButtons(style) ? kIdNo : kIdOk;
}

std::vector<KeptBoxes::Box> KeptBoxes::Take() {
  std::vector<Box> taken;
  taken.swap(boxes_);
  return taken;
}

void BatchTally::Add(const std::string& path, const UndeleteOutcome& outcome,
                     const std::vector<KeptBoxes::Box>& boxes) {
  switch (outcome.kind) {
    case UndeleteOutcome::Kind::kUndeleted:
      ++undeleted_;
      if (outcome.condition != FileCondition::kIntact) ++not_intact_[outcome.condition];
      break;
    case UndeleteOutcome::Kind::kPartly:
      ++partly_;
      break;
    case UndeleteOutcome::Kind::kAborted:
      // What was written stays: a part of the file.
      ++partly_;
      aborted_ = path;
      break;
    case UndeleteOutcome::Kind::kNotUndeleted:
      ++not_undeleted_;
      break;
  }
  // Everything the engine said but its "File Undeleted !", failed reads
  // among it, is kept for the summary.
  std::string said;
  for (const KeptBoxes::Box& box : boxes) {
    if (box.text.starts_with(t::kUndeleted)) continue;
    said += (said.empty() ? "" : " ") + BoxLine(box);
  }
  if (said.empty() && outcome.kind == UndeleteOutcome::Kind::kNotUndeleted)
    said = "not undeleted";
  // Where a file that came back whole holds zeros for unreadable sectors
  // (a partly undeleted file's box has told it).
  if (outcome.kind == UndeleteOutcome::Kind::kUndeleted && !outcome.zeroFilled.empty())
    said += (said.empty() ? "" : " ") + ZeroFilledText(outcome.zeroFilled);
  if (!said.empty()) troubles_.push_back(path + ": " + said);
}

void BatchTally::MarkAborted() {
  if (!aborted_) aborted_ = std::string();
}

bool BatchTally::allIntact() const {
  return undeleted_ == files_ && not_intact_.empty();
}

std::string BatchTally::CountsLine() const {
  return std::to_string(undeleted_) + " of " + Counted(files_, "file", "files") + " undeleted, " +
         std::to_string(partly_) + " partly undeleted, " + std::to_string(not_undeleted_) +
         " not undeleted.";
}

std::string BatchTally::Summary() const {
  std::string text = CountsLine();
  if (!not_intact_.empty()) {
    size_t count = 0;
    std::string words, meanings;
    for (const auto& [condition, files] : not_intact_) {
      count += files;
      words += (words.empty() ? "" : ", ") + std::string(ConditionWord(condition)) + " (" +
               std::to_string(files) + ")";
      meanings += "\n" + std::string(ConditionWord(condition)) + ": " +
                  std::string(ConditionMeaning(condition)) + ".";
    }
    text += "\n" + Counted(count, "of the undeleted files is", "of the undeleted files are") +
            " not intact: " + words + "." + meanings;
  }
  if (aborted_) {
    text += "\n" + std::string(t::kAborted);
    if (!aborted_->empty()) text += " " + *aborted_ + " is partly undeleted.";
    if (notTried() > 0) text += " " + Counted(notTried(), "file was", "files were") + " not tried.";
  }
  if (!troubles_.empty()) {
    text += "\n";
    for (size_t i = 0; i < troubles_.size() && i < kTroublesListed; ++i) text += "\n" + troubles_[i];
    if (troubles_.size() > kTroublesListed)
      text += "\n... and " + std::to_string(troubles_.size() - kTroublesListed) + " more.";
  }
  return text;
}

BatchTally UndeleteBatch(DriveSource& drives, const std::vector<BatchFile>& files,
                         StatusText& status, const NamingLabel* naming, ProgressBar& bar,
                         MessageBoxHost& boxes, const std::atomic<int32_t>& abort) {
  KeptBoxes kept;
  CUndeleteEngine engine(drives, kept);
  uint64_t total = 0;
  for (const BatchFile& file : files) total += file.size;
  BatchProgress progress(bar, total);
  progress.Start();
  BatchTally tally(files.size());

  for (size_t i = 0; i < files.size(); ++i) {
    if (abort.load() != 0) {
      tally.MarkAborted();
      break;
    }
    const BatchFile& file = files[i];
    const std::string naming_text = "Undeleting " + std::to_string(i + 1) + " of " +
                                    std::to_string(files.size()) + ": " + file.path;
    status.SetText(naming_text);
    if (naming) naming->label.SetText(naming_text);
    progress.BeginFile(file.size);
    engine.SetOptions(file.options);
    engine.UndeleteByPath(file.path, status, progress, abort);
    tally.Add(file.path, engine.outcome(), kept.Take());
    if (tally.aborted()) break;
  }

  if (tally.aborted())
    progress.Empty();
  else
    progress.Finish();
  const std::string final_status =
      tally.aborted() ? std::string(t::kAborted) + "\n" + tally.CountsLine() : tally.CountsLine();
  status.SetText(final_status);
  if (naming) naming->label.SetText(naming->after);
  boxes.ShowMessageBox(tally.Summary(), std::string(t::kAppCaption),
                       tally.allIntact() ? kMbIconInformation : kMbIconExclamation);
  // As after a single file's box: the bar empty, the status kept.
  progress.Empty();
  return tally;
}

}  // namespace quorvane
