#include "recovery/free_clusters.h"

#include <algorithm>

namespace quorvane {

FreeClusters::Found FreeClusters::Next(const std::atomic<int32_t>& abort) {
  if (started_) ++cluster_;
  started_ = true;
  for (;; ++cluster_) {
    if (abort.load() != 0) return Found::kAborted;
    if (!InVolume(cluster_)) return Found::kVolumeEnds;
    if (contiguous_ || cluster_ <= known_free_to_) return Found::kFree;
    if (claims_ != nullptr && cluster_ != first_) {
      if (const auto claim_end = claims_->OtherClaimEnd(cluster_, first_)) {
        stepped_over_claims_ = true;
        cluster_ = *claim_end;
        continue;
      }
    }
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
  // A run ends before the next cluster another entry claims.
  if (claims_ != nullptr) limit = static_cast<uint32_t>(
        std::min<uint64_t>(limit, uint64_t{claims_->NextOtherClaim(cluster_, first_)} - cluster_));
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
