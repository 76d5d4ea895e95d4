#pragma once
// exFAT's allocation bitmap: one bit per cluster of the heap, bit N for
// cluster N + 2, set while the cluster is in use. The FAT of exFAT says
// nothing of a NoFatChain file's clusters, so the bitmap alone tells free
// from used. It is read a chunk at a time into a small cache: a 2 TiB volume
// of 4 KiB clusters has 64 MiB of bitmap.
#include <cstdint>
#include <memory>
#include <vector>

#include "volume/expected.h"
#include "volume/format/exfat_cluster_runs.h"
#include "volume/format/volume_view.h"

namespace quorvane {

struct ExFatBitmapRecord;

class ExFatBitmap final : public AllocationMap {
 public:
  enum class Problem {
    kUnreadable,  // its FAT chain could not be read
    kBroken,      // its clusters leave the heap, or its chain is broken
    kTooShort,    // fewer bits than the volume has clusters
  };

  // The bitmap the root entry `record` describes, read through `view`
  // (which must outlive it). Reads only the FAT entries of its chain.
  static Expected<std::unique_ptr<ExFatBitmap>, Problem> Open(VolumeView& view,
                                                              const ExFatBitmapRecord& record);

  // Whether `cluster` is in use; a cluster outside the heap counts as in use.
  ReadResult<bool> InUse(uint32_t cluster) override;
  // How many of `count` clusters from `first` are in use.
  ReadResult<uint32_t> CountInUse(uint32_t first, uint32_t count);

  uint64_t chunksRead() const { return chunks_read_; }

  static constexpr uint32_t kChunkBytes = 4096;  // 32,768 clusters
  static constexpr size_t kChunksKept = 64;      // 256 KiB

 private:
  ExFatBitmap(VolumeView& view, std::vector<ClusterRun> runs, uint64_t length);
  ReadResult<const std::vector<uint8_t>*> Chunk(uint64_t index);

  struct Kept {
    uint64_t index = 0;
    uint64_t last_use = 0;
    std::vector<uint8_t> bytes;
  };

  VolumeView& view_;
  std::vector<ClusterRun> runs_;
  std::vector<uint64_t> run_starts_;  // the bitmap byte each run begins at
  uint64_t length_;
  std::vector<Kept> kept_;
  size_t last_ = 0;  // the slot used last: most lookups fall in it
  uint64_t clock_ = 0;
  uint64_t chunks_read_ = 0;
};

}  // namespace quorvane
