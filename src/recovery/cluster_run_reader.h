#pragma once
// Reads the clusters of a copy in runs: consecutive clusters in one request
// of up to a few MiB, and after a run that cannot be read whole, its
// clusters one by one, so that only the sector that fails stops the copy.
// The clusters taken from the buffer wait there until they are handed to
// the output as one span.
#include <cstdint>
#include <span>
#include <vector>

#include "recovery/zero_filled_ranges.h"
#include "volume/read_error.h"
#include "volume/format/volume_view.h"

namespace quorvane {

class ClusterRunReader {
 public:
  // Room for `capacity` clusters (at least one).
  ClusterRunReader(VolumeView& view, uint32_t capacity);

  bool Holds(uint32_t cluster) const {
    return cluster >= first_ && cluster - first_ < count_;
  }
  // Whether `cluster` lies in a run that failed, to be read one by one.
  bool ReadsSingly(uint32_t cluster) const { return cluster < single_until_; }

  // Fills the buffer with `count` clusters from `first` (at most the
  // capacity); clusters taken and not handed over must be handed over first.
  // When several clusters cannot be read in one request, `first` is read
  // alone and the error returned is that read's.
  ReadStatus Load(uint32_t first, uint32_t count);
  // Fills the buffer with `cluster` read one sector at a time, a sector that
  // cannot be read as zeros: for a copy that keeps going past unreadable
  // sectors, after Load failed. The bytes of the cluster written as zeros
  // (neighbours joined); fails only when the volume cannot be opened.
  ReadResult<std::vector<ByteRange>> LoadSectorBySector(uint32_t cluster);

  // The host has already copied `count` clusters from `first` to the
  // output: they are held, and taking them hands nothing over.
  void MarkCopied(uint32_t first, uint32_t count) {
    first_ = first;
    count_ = count;
    copied_ = true;
  }

  // The bytes of a cluster held in the buffer (read, not copied by the host).
  std::span<const uint8_t> Bytes(uint32_t cluster) const {
    return std::span<const uint8_t>(buffer_).subspan(static_cast<size_t>(cluster - first_) * cluster_bytes_,
                                                     cluster_bytes_);
  }

  // Takes `bytes` of the buffered `cluster` for the output, after the
  // clusters taken before it.
  void Take(uint32_t cluster, size_t bytes);
  // The bytes taken and not handed over yet; HandedOver() forgets them.
  std::span<const uint8_t> Taken() const {
    if (copied_) return {};
    return std::span<const uint8_t>(buffer_).subspan(taken_from_, taken_bytes_);
  }
  void HandedOver() { taken_bytes_ = 0; }

 private:
  VolumeView& view_;
  uint32_t cluster_bytes_;
  std::vector<uint8_t> buffer_;
  uint32_t first_ = 0, count_ = 0;  // clusters held in the buffer
  uint32_t single_until_ = 0;
  bool copied_ = false;  // the clusters held were copied by the host
  size_t taken_from_ = 0, taken_bytes_ = 0;
};

}  // namespace quorvane
