#pragma once
// The clusters of one directory, in order: along its FAT chain, or, on exFAT
// where a directory was written without one, consecutively for its length;
// on FAT12 and FAT16 the root directory is its fixed region, read as one
// piece. A ChainGuard ends the chain where it leaves the volume, comes back
// to a cluster already walked or grows past the largest directory FAT
// allows; a walk inside a deleted directory reads its first cluster only,
// since its FAT entries have been freed and may since belong to other files,
// or, when asked, goes on to clusters found by their bytes.
// Directories are walked through WalkDirectory (directory_walk.h), which
// holds what a failed read means; this is the cluster step beneath it.
#include <cstdint>
#include <memory>

#include "volume/format/chain_guard.h"
#include "volume/format/volume_view.h"

namespace quorvane {

enum class DirectoryScope {
  kWholeChain,
  kFirstClusterOnly,
  // A deleted directory's first cluster, then, while the cluster walked is
  // full, the free cluster nearest after it that reads as the directory's
  // continuation (directory_continuation.h).
  kFirstClusterThenContinuations,
};

// Where a directory lies: its first cluster and how its clusters follow.
struct DirectoryExtent {
  uint32_t first = 0;
  DirectoryScope scope = DirectoryScope::kWholeChain;
  // exFAT's NoFatChain: `clusters` consecutive clusters from `first`, no FAT read.
  bool contiguous = false;
  uint32_t clusters = 0;
};

class DirectoryChain {
 public:
  using Scope = DirectoryScope;
  enum class Step {
    kNext,           // the walk stands on the next cluster
    kEnd,            // the chain ends: its end mark, the guard, or the scope
    kFatUnreadable,  // the cluster's FAT entry cannot be read: fatError() says why
  };

  // `view` must outlive the walk. The walk stands on the extent's first
  // cluster unless that lies outside the volume.
  DirectoryChain(VolumeView& view, const DirectoryExtent& extent);
  DirectoryChain(VolumeView& view, uint32_t first, Scope scope = Scope::kWholeChain)
      : DirectoryChain(view, DirectoryExtent{first, scope, false, 0}) {}

  // Whether the walk stands on a cluster it may read.
  bool AtCluster() const { return at_cluster_; }
  uint32_t cluster() const { return cluster_; }

  // The cluster the walk stands on (through the view's cache).
  ReadResult<std::shared_ptr<const SectorBuffer>> Read() { return view_.ReadCluster(cluster_); }

  // Moves on along the chain. The FAT entry is read even where the scope
  // ends the walk, so that a FAT that cannot be read is always told.
  Step Advance();
  const ReadError& fatError() const { return fat_error_; }

 private:
  VolumeView& view_;
  ChainGuard guard_;
  DirectoryExtent extent_;
  uint32_t cluster_;
  uint32_t walked_ = 1;  // clusters of a contiguous directory stood on so far
  bool at_cluster_;
  ReadError fat_error_;
};

}  // namespace quorvane
