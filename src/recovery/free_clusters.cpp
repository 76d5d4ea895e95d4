#include "recovery/free_clusters.h"

namespace quorvane {

FreeClusters::Found FreeClusters::Next(const std::atomic<int32_t>& abort) {
  if (started_) ++cluster_;
  started_ = true;
  for (;; ++cluster_) {
    if (abort.load() != 0) return Found::kAborted;
    if (!InVolume(cluster_)) return Found::kVolumeEnds;
    if (contiguous_ || cluster_ <= known_free_to_) return Found::kFree;
    const auto free = view_.ClusterFree(cluster_);
    if (!free) {
      error_ = free.error();
      return Found::kFatUnreadable;
    }
    if (*free) return Found::kFree;
  }
}

uint32_t FreeClusters::FreeRunLength(uint32_t limit, std::optional<ReadError>& unread) {
  uint32_t count = 1;
  while (count < limit && InVolume(cluster_ + count)) {
    if (contiguous_) {
      ++count;
      continue;
    }
    const auto free = view_.ClusterFree(cluster_ + count);
    if (!free) {
      unread = free.error();
      break;
    }
    if (!*free) break;
    ++count;
  }
  known_free_to_ = cluster_ + count - 1;
  return count;
}

}  // namespace quorvane
