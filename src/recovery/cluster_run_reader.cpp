#include "recovery/cluster_run_reader.h"

#include <algorithm>
#include <cassert>

namespace quorvane {

ClusterRunReader::ClusterRunReader(VolumeView& view, uint32_t capacity)
    : view_(view),
      cluster_bytes_(view.params().ClusterBytes()),
      buffer_(static_cast<size_t>(std::max(capacity, 1u)) * cluster_bytes_) {}

ReadStatus ClusterRunReader::Load(uint32_t first, uint32_t count) {
  assert(taken_bytes_ == 0 && count >= 1 && count <= buffer_.size() / cluster_bytes_);
  count_ = 0;
  copied_ = false;
  const std::span<uint8_t> target(buffer_.data(), static_cast<size_t>(count) * cluster_bytes_);
  if (count > 1) {
    if (view_.ReadClusterRun(first, count, target)) {
      first_ = first;
      count_ = count;
      return ReadDone{};
    }
    single_until_ = first + count;
  }
  auto single = view_.ReadClusterRun(first, 1, target.first(cluster_bytes_));
  if (single) {
    first_ = first;
    count_ = 1;
  }
  return single;
}

void ClusterRunReader::Take(uint32_t cluster, size_t bytes) {
  assert(Holds(cluster));
  if (taken_bytes_ == 0) taken_from_ = static_cast<size_t>(cluster - first_) * cluster_bytes_;
  taken_bytes_ += bytes;
}

}  // namespace quorvane
