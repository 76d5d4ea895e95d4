#pragma once
// A per-operation cached view of a volume's FAT and directory clusters. The
// volume is only read, so within one operation a sector never changes and a
// cached copy is the same view the volume gives.
#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "volume/format/fat_params.h"
#include "volume/host/sector_reader.h"

namespace quorvane {

// Which clusters are in use, where a volume keeps that apart from its FAT
// (exFAT's allocation bitmap).
class AllocationMap {
 public:
  virtual ~AllocationMap() = default;
  virtual ReadResult<bool> InUse(uint32_t cluster) = 0;
};

class VolumeView {
 public:
  // `params` must outlive the view; its values are read at each request.
  VolumeView(SectorReader& reader, const FatParams& params, size_t cluster_cache_bytes = 16u << 20);

  // The FAT entry of `cluster` (low 28 bits), or why its sector cannot be
  // read. FAT sectors are read in chunks and kept in a small cache.
  ReadResult<uint32_t> FatEntry(uint32_t cluster);

  // The same, read with the FAT sector that holds it rather than a chunk:
  // for entries far apart, such as the clusters a file that lost the high
  // word of its first cluster may have begun at (65,536 clusters apart, a
  // chunk each), where a chunk would be read for one entry. The sectors
  // read are kept (the last kFatSectorsKept), and a chunk already held
  // serves without a read.
  ReadResult<uint32_t> FatEntryAlone(uint32_t cluster);

  // Whether `cluster` is free: its FAT entry is 0, or on exFAT its bit in
  // the allocation bitmap is clear. Inline: undelete asks it of every
  // cluster it copies.
  ReadResult<bool> ClusterFree(uint32_t cluster) {
    if (allocation_) {
      const auto used = allocation_->InUse(cluster);
      if (!used) return Fail(used.error());
      return !*used;
    }
    const auto value = FatEntry(cluster);
    if (!value) return Fail(value.error());
    return *value == 0;
  }
  // The view asks `map` instead of the FAT whether a cluster is in use; it
  // must outlive the view.
  void UseAllocationMap(AllocationMap* map) { allocation_ = map; }

  // The whole cluster, read with one request; kRootRegion on FAT12/16 is
  // the fixed root region. The buffer stays valid for as
  // long as the caller holds it.
  ReadResult<std::shared_ptr<const SectorBuffer>> ReadCluster(uint32_t cluster);

  // Reads `count` consecutive clusters from `first` into `out` in one
  // request, past the cache.
  ReadStatus ReadClusterRun(uint32_t first, uint32_t count, std::span<uint8_t> out);
  // Where those clusters lie in the host file the volume is, when it is one
  // and holds them all.
  std::optional<HostFileRange> ClusterRunOnHost(uint32_t first, uint32_t count) {
    const auto spc = static_cast<uint32_t>(params_.m_nSectorsPerCluster);
    return reader_.HostRange(params_.m_nDrive, params_.ClusterToSector(first), count * spc);
  }

  // One sector, read by itself. The last few read are kept: a sector asked
  // for again (a candidate judged twice) costs no read. Sectors asked for
  // one at a time lie far apart (the first sectors of candidate clusters);
  // reading the page around each, or merging close ones into blocks, was
  // tried and made no read cheaper: from the page cache a 4 KiB read costs
  // a quarter more than a 512-byte one, and a block costs its pages. The
  // bytes stay valid until the next call.
  ReadResult<std::span<const uint8_t>> ReadOneSector(uint32_t sector);

  SectorReader& reader() { return reader_; }
  const FatParams& params() const { return params_; }

 private:
  static constexpr uint32_t kFatChunkSectors = 256;  // 128 KiB, 32768 entries
  static constexpr size_t kFatChunksKept = 32;

  static constexpr size_t kSectorsKept = 8;
  // 2 MiB: a sector for each of 4096 far-apart places in the FAT.
  static constexpr size_t kFatSectorsKept = 4096;

  struct Chunk {
    SectorBuffer bytes;
    uint64_t last_use = 0;
  };

  void ResetIfDriveChanged();
  size_t EntryWidth() const;
  const SectorBuffer* FatChunk(uint32_t chunk_index);

  SectorReader& reader_;
  const FatParams& params_;
  int32_t drive_ = 0;
  uint64_t clock_ = 0;
  std::unordered_map<uint32_t, Chunk> fat_chunks_;
  struct FatSector {
    uint32_t sector = 0;
    std::array<uint8_t, kSectorSize> bytes{};
  };
  using FatSectors = std::list<FatSector>;  // the most recently used first
  FatSectors fat_sectors_;
  std::unordered_map<uint32_t, FatSectors::iterator> fat_sector_index_;

  struct KeptSector {
    uint32_t sector = 0;
    bool read = false;  // holds the sector's bytes
    std::array<uint8_t, kSectorSize> bytes{};
  };
  std::array<KeptSector, kSectorsKept> kept_{};
  size_t nextKept_ = 0;  // the slot the next read fills, round the ring

  AllocationMap* allocation_ = nullptr;
  size_t cluster_cache_bytes_;
  size_t cached_bytes_ = 0;
  using Lru = std::list<std::pair<uint32_t, std::shared_ptr<const SectorBuffer>>>;
  Lru clusters_;
  std::unordered_map<uint32_t, Lru::iterator> cluster_index_;
};

}  // namespace quorvane
