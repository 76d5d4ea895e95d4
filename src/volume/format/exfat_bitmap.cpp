#include "volume/format/exfat_bitmap.h"

#include <algorithm>
#include <bit>

#include "volume/format/exfat_entry_set.h"

namespace quorvane {

Expected<std::unique_ptr<ExFatBitmap>, ExFatBitmap::Problem> ExFatBitmap::Open(
    VolumeView& view, const ExFatBitmapRecord& record) {
  const uint64_t clusters = view.params().LastCluster() - 1;
  if (record.length * 8 < clusters) return Fail(Problem::kTooShort);
  // Bits past the last cluster are never read.
  const uint64_t length = (clusters + 7) / 8;
  const auto runs = ExFatClusterRuns(view, record.firstCluster, length, false);
  if (!runs)
    return Fail(runs.error().kind == ExFatChainError::Kind::kUnreadable ? Problem::kUnreadable
                                                                        : Problem::kBroken);
  return std::unique_ptr<ExFatBitmap>(new ExFatBitmap(view, *runs, length));
}

ExFatBitmap::ExFatBitmap(VolumeView& view, std::vector<ClusterRun> runs, uint64_t length)
    : view_(view), runs_(std::move(runs)), length_(length) {
  uint64_t at = 0;
  for (const ClusterRun& run : runs_) {
    run_starts_.push_back(at);
    at += uint64_t{run.count} * view_.params().ClusterBytes();
  }
}

ReadResult<const std::vector<uint8_t>*> ExFatBitmap::Chunk(uint64_t index) {
  if (last_ < kept_.size() && kept_[last_].index == index) return &kept_[last_].bytes;
  for (size_t i = 0; i < kept_.size(); ++i) {
    if (kept_[i].index == index) {
      kept_[i].last_use = ++clock_;
      last_ = i;
      return &kept_[i].bytes;
    }
  }
  const uint64_t begin = index * kChunkBytes;
  const uint64_t end = std::min(begin + kChunkBytes, length_);
  // Whole sectors, each piece inside one run; the last may reach past the
  // bitmap's length into its last cluster.
  std::vector<uint8_t> bytes((end - begin + kSectorSize - 1) / kSectorSize * kSectorSize);
  const FatParams& params = view_.params();
  for (uint64_t at = begin; at < end;) {
    const size_t run = static_cast<size_t>(
        std::upper_bound(run_starts_.begin(), run_starts_.end(), at) - run_starts_.begin() - 1);
    const uint64_t run_end = run_starts_[run] + uint64_t{runs_[run].count} * params.ClusterBytes();
    const uint64_t piece_end = std::min<uint64_t>(run_end, begin + bytes.size());
    const uint64_t sector = params.ClusterToSector(runs_[run].first) + (at - run_starts_[run]) / kSectorSize;
    const auto count = static_cast<uint32_t>((piece_end - at) / kSectorSize);
    auto done = view_.reader().ReadInto(params.m_nDrive, static_cast<uint32_t>(sector), count,
                                        std::span(bytes).subspan(at - begin, piece_end - at));
    if (!done) return Fail(done.error());
    at = piece_end;
  }
  ++chunks_read_;
  size_t slot = kept_.size();
  if (slot < kChunksKept) {
    kept_.emplace_back();
  } else {
    slot = static_cast<size_t>(std::min_element(kept_.begin(), kept_.end(),
                                                [](auto& a, auto& b) { return a.last_use < b.last_use; }) -
                               kept_.begin());
  }
  kept_[slot] = Kept{index, ++clock_, std::move(bytes)};
  last_ = slot;
  return &kept_[slot].bytes;
}

ReadResult<bool> ExFatBitmap::InUse(uint32_t cluster) {
  if (!view_.params().IsClusterInVolume(cluster)) return true;
  const uint64_t bit = cluster - kFirstDataCluster;
  const auto chunk = Chunk(bit / 8 / kChunkBytes);
  if (!chunk) return Fail(chunk.error());
  return ((**chunk)[bit / 8 % kChunkBytes] >> (bit % 8) & 1) != 0;
}

ReadResult<uint32_t> ExFatBitmap::CountInUse(uint32_t first, uint32_t count) {
  uint32_t used = 0;
  for (uint64_t cluster = first; cluster < uint64_t{first} + count;) {
    if (!view_.params().IsClusterInVolume(static_cast<uint32_t>(cluster))) {
      ++used, ++cluster;
      continue;
    }
    // Whole bytes at a time where the range allows.
    const uint64_t bit = cluster - kFirstDataCluster;
    const auto chunk = Chunk(bit / 8 / kChunkBytes);
    if (!chunk) return Fail(chunk.error());
    const uint8_t byte = (**chunk)[bit / 8 % kChunkBytes];
    if (bit % 8 == 0 && cluster + 8 <= uint64_t{first} + count &&
        cluster + 7 <= view_.params().LastCluster()) {
      used += static_cast<uint32_t>(std::popcount(byte));
      cluster += 8;
    } else {
      used += byte >> (bit % 8) & 1;
      ++cluster;
    }
  }
  return used;
}

}  // namespace quorvane
