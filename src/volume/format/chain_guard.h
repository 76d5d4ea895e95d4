#pragma once
// Guards one walk along a directory's cluster chain: a cluster outside the
// volume, one the walk has already visited, or one past the largest
// directory FAT allows ends the chain as its end mark would. So a damaged or
// looping chain never makes the walk examine a cluster twice, and a chain
// drawn through the whole FAT costs no more than the largest real directory.
#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_set>

#include "volume/format/fat_params.h"

namespace quorvane {

// A FAT directory holds at most 65,536 entries of 32 bytes; an exFAT one
// at most 256 MiB.
inline constexpr uint32_t kMaxDirectoryBytes = 65536 * 32;
inline constexpr uint32_t kMaxExFatDirectoryBytes = 256u << 20;

class ChainGuard {
 public:
  explicit ChainGuard(const FatParams& params)
      : params_(params),
        max_clusters_(std::max<uint32_t>(
            1, (params.m_family == VolumeFamily::kExFat ? kMaxExFatDirectoryBytes : kMaxDirectoryBytes) /
                   std::max<uint32_t>(1, params.ClusterBytes()))) {}

  // True when the walk may go on to `cluster`; records it as visited.
  bool Enter(uint32_t cluster) {
    if (!params_.IsClusterInVolume(cluster) || entered_ == max_clusters_) return false;
    // Directory chains are short: a small list serves until one grows long.
    if (many_.empty()) {
      const auto few_end = few_.begin() + few_count_;
      if (std::find(few_.begin(), few_end, cluster) != few_end) return false;
      if (few_count_ < few_.size()) {
        few_[few_count_++] = cluster;
        ++entered_;
        return true;
      }
      many_.insert(few_.begin(), few_end);
    }
    if (!many_.insert(cluster).second) return false;
    ++entered_;
    return true;
  }

 private:
  const FatParams& params_;
  uint32_t max_clusters_;
  uint32_t entered_ = 0;
  std::array<uint32_t, 16> few_{};
  size_t few_count_ = 0;
  std::unordered_set<uint32_t> many_;
};

}  // namespace quorvane
