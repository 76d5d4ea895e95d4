#include "recovery/format_follower.h"

#include <algorithm>
#include <vector>

namespace quorvane {

std::optional<FormatFollower> FormatFollower::Start(std::string_view extension,
                                                    std::span<const uint8_t> first_cluster, uint64_t size) {
  FormatCheck check(extension, first_cluster, size);
  if (!check.Judges()) return std::nullopt;
  return FormatFollower(std::move(check));
}

// A candidate's run, the clusters the copy would take from `from`, fed to a
// copy of `check`: it breaks the file, goes on with it, or tells nothing.
FormatFollower::RunVerdict FormatFollower::JudgeRun(VolumeView& view, const FreeClusters& rule,
                                                    uint32_t from, const FormatCheck& check,
                                                    const std::atomic<int32_t>& abort) {
  const uint32_t cluster_bytes = view.params().ClusterBytes();
  const uint32_t clusters = std::max<uint32_t>(8, kFollowRunBytes / cluster_bytes);
  FormatCheck trial(check);
  FreeClusters run = rule;
  run.StandOn(from);
  std::vector<uint8_t> bytes(cluster_bytes);
  RunVerdict verdict = RunVerdict::kUnknown;
  for (uint32_t i = 0; i < clusters && run.Next(abort) == FreeClusters::Found::kFree; ++i) {
    if (!view.ReadClusterRun(run.cluster(), 1, bytes)) break;
    read_ += cluster_bytes;
    const ClusterVerdict fed = trial.Feed(bytes);
    if (fed == ClusterVerdict::kBreaks) return RunVerdict::kBreaks;
    if (fed == ClusterVerdict::kContinues) verdict = RunVerdict::kContinues;
  }
  return verdict;
}

std::optional<uint32_t> FormatFollower::Continuation(VolumeView& view, const FreeClusters& rule,
                                                     uint32_t start, bool skip_start,
                                                     const FormatCheck& check,
                                                     const std::atomic<int32_t>& abort) {
  FreeClusters ahead = rule;
  ahead.StandOn(start);
  for (uint32_t weighed = 0; weighed < kFollowCandidates && read_ < kFollowReadBudget;) {
    if (ahead.Next(abort) != FreeClusters::Found::kFree) break;
    const uint32_t candidate = ahead.cluster();
    if (skip_start && candidate == start) continue;
    ++weighed;
    if (JudgeRun(view, rule, candidate, check, abort) == RunVerdict::kContinues) return candidate;
  }
  return std::nullopt;
}

FormatFollower::Move FormatFollower::Choose(VolumeView& view, const FreeClusters& rule, uint32_t index,
                                            uint32_t next, std::span<const uint8_t> bytes,
                                            const std::atomic<int32_t>& abort) {
  Move keep{next};
  if (blind_ || read_ >= kFollowReadBudget || check_.Try(bytes) != ClusterVerdict::kBreaks) return keep;
  // Here first, then back through the clusters taken last, newest first.
  if (const auto here = Continuation(view, rule, next, true, check_, abort)) {
    jumped_ = true;
    return {*here};
  }
  for (auto step = recent_.rbegin(); step != recent_.rend(); ++step) {
    const auto there = Continuation(view, rule, step->cluster, true, step->before, abort);
    if (!there) continue;
    jumped_ = true;
    Move back{*there, true, step->index, step->taken};
    check_ = step->before;
    recent_.erase(std::next(step).base(), recent_.end());
    return back;
  }
  (void)index;
  return keep;
}

void FormatFollower::Taken(uint32_t index, uint32_t cluster, uint64_t taken, std::span<const uint8_t> bytes) {
  if (!blind_) {
    recent_.push_back({index, cluster, taken, check_});
    if (recent_.size() > kFollowBacktrack) recent_.pop_front();
  }
  check_.Feed(bytes);
}

std::optional<FileCondition> FormatFollower::Condition() const {
  if (check_.Complete() == FormatOutcome::kFailed) return FileCondition::kGuessed;
  if (jumped_) return FileCondition::kFollowed;
  return std::nullopt;
}

}  // namespace quorvane
