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

ReadResult<std::vector<ByteRange>> ClusterRunReader::LoadSectorBySector(uint32_t cluster) {
  assert(taken_bytes_ == 0);
  count_ = 0;
  copied_ = false;
  const FatParams& params = view_.params();
  const uint32_t first_sector = params.ClusterToSector(cluster);
  const uint32_t sectors = cluster_bytes_ / kSectorSize;
  std::vector<ByteRange> zeros;
  for (uint32_t s = 0; s < sectors; ++s) {
    const std::span<uint8_t> sector(buffer_.data() + size_t{s} * kSectorSize, kSectorSize);
    if (const auto read = view_.reader().ReadInto(params.m_nDrive, first_sector + s, 1, sector); !read) {
      if (read.error().kind == ReadError::Kind::kCannotOpen) return Fail(read.error());
      std::fill(sector.begin(), sector.end(), uint8_t{0});
      AddZeroFilled(zeros, uint64_t{s} * kSectorSize, uint64_t{s + 1} * kSectorSize);
    }
  }
  first_ = cluster;
  count_ = 1;
  return zeros;
}

void ClusterRunReader::Take(uint32_t cluster, size_t bytes) {
  assert(Holds(cluster));
  if (taken_bytes_ == 0) taken_from_ = static_cast<size_t>(cluster - first_) * cluster_bytes_;
  taken_bytes_ += bytes;
}

}  // namespace quorvane
