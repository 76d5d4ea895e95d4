#pragma once
// Guards one walk along a cluster chain: a cluster outside the volume, or one
// the walk has already visited, ends the chain as its end mark would, so a
// damaged or looping chain never makes the walk examine a cluster twice.
#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_set>

#include "volume/fat_params.h"

namespace quorvane {

class ChainGuard {
 public:
  explicit ChainGuard(const FatParams& params) : params_(params) {}

  // True when the walk may go on to `cluster`; records it as visited.
  bool Enter(uint32_t cluster) {
    if (!params_.IsClusterInVolume(cluster)) return false;
    // Directory chains are short: a small list serves until one grows long.
    if (many_.empty()) {
      const auto few_end = few_.begin() + few_count_;
      if (std::find(few_.begin(), few_end, cluster) != few_end) return false;
      if (few_count_ < few_.size()) {
        few_[few_count_++] = cluster;
        return true;
      }
      many_.insert(few_.begin(), few_end);
    }
    return many_.insert(cluster).second;
  }

 private:
  const FatParams& params_;
  std::array<uint32_t, 16> few_{};
  size_t few_count_ = 0;
  std::unordered_set<uint32_t> many_;
};

}  // namespace quorvane
