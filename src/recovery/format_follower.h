#pragma once
// Following a fragmented file by its format (with --fragments). The copy
// takes the next free cluster, as ever, unless its bytes break the file's
// format (format_check.h): then the nearest free cluster whose run goes on
// with the file is taken instead. A format may show a fault some clusters
// after it (a checksum at a chunk's end): the last few clusters taken are
// weighed again too, and the copy goes back to the one where the file went
// elsewhere. The clusters passed over are not the file's; what the check
// finds at the end says what the copy is.
#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string_view>

#include "recovery/file_condition.h"
#include "recovery/format_check.h"
#include "recovery/free_clusters.h"
#include "volume/format/volume_view.h"

namespace quorvane {

// Free clusters weighed as the place the file goes on, nearest first; the
// clusters taken that may be weighed again; the bytes of each candidate's
// run read for its verdict (at least 8 clusters).
inline constexpr uint32_t kFollowCandidates = 16;
inline constexpr size_t kFollowBacktrack = 8;
inline constexpr uint32_t kFollowRunBytes = 64u << 10;
// Bytes a file's following may read: past it, the free-cluster rule goes
// on alone (the check still judges the copy).
inline constexpr uint64_t kFollowReadBudget = 16u << 20;

class FormatFollower {
 public:
  // None when the file's format is not one judged. `extension` without the
  // full stop; `first_cluster` the bytes of the cluster the copy begins with.
  static std::optional<FormatFollower> Start(std::string_view extension,
                                             std::span<const uint8_t> first_cluster, uint64_t size);

  // Where the copy goes on. `back`: it goes back to its `index`-th cluster
  // (0 for the first), cut to `taken` bytes; `cluster` is the cluster taken
  // there, the rule standing on it.
  struct Move {
    uint32_t cluster = 0;
    bool back = false;
    uint32_t index = 0;
    uint64_t taken = 0;
  };
  // `next` is where the rule stands for the `index`-th cluster, its bytes
  // `bytes`: kept unless they break the file and another cluster goes on
  // with it.
  Move Choose(VolumeView& view, const FreeClusters& rule, uint32_t index, uint32_t next,
              std::span<const uint8_t> bytes, const std::atomic<int32_t>& abort);
  // The `index`-th cluster was taken: `cluster`, its `bytes`, after `taken`
  // bytes of the file.
  void Taken(uint32_t index, uint32_t cluster, uint64_t taken, std::span<const uint8_t> bytes);
  // Bytes that are not the volume's (zeros for sectors that could not be
  // read) were taken: nothing after them is judged.
  void Blind() { blind_ = true; }

  // What the copy is by its format, when that says more than the
  // free-cluster rule: guessed when the format says the bytes are wrong,
  // followed when free clusters were passed over and nothing contradicts it.
  std::optional<FileCondition> Condition() const;

 private:
  struct Step {
    uint32_t index;
    uint32_t cluster;
    uint64_t taken;
    FormatCheck before;  // the check before the cluster was fed
  };
  enum class RunVerdict { kBreaks, kUnknown, kContinues };

  explicit FormatFollower(FormatCheck check) : check_(std::move(check)) {}
  // The nearest of the free clusters from `start` on (`start` left out when
  // `skip_start`) whose run goes on with the file after `check`.
  std::optional<uint32_t> Continuation(VolumeView& view, const FreeClusters& rule, uint32_t start,
                                       bool skip_start, const FormatCheck& check,
                                       const std::atomic<int32_t>& abort);
  RunVerdict JudgeRun(VolumeView& view, const FreeClusters& rule, uint32_t from, const FormatCheck& check,
                      const std::atomic<int32_t>& abort);

  FormatCheck check_;
  std::deque<Step> recent_;  // the last clusters taken, newest last
  uint64_t read_ = 0;        // bytes read to weigh candidates
  bool jumped_ = false;
  bool blind_ = false;
};

}  // namespace quorvane
