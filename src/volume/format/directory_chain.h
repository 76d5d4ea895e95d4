#pragma once
// The one walk along a directory's cluster chain that the lookup, the engine
// and the search all take. A ChainGuard ends the chain where it leaves the
// volume, comes back to a cluster already walked or grows past the largest
// directory FAT allows; a walk inside a deleted directory reads its first
// cluster only, since its FAT entries have been freed and may since belong
// to other files.
#include <cstdint>
#include <memory>

#include "volume/format/chain_guard.h"
#include "volume/format/volume_view.h"

namespace quorvane {

class DirectoryChain {
 public:
  enum class Scope { kWholeChain, kFirstClusterOnly };
  enum class Step {
    kNext,           // the walk stands on the next cluster
    kEnd,            // the chain ends: its end mark, the guard, or the scope
    kFatUnreadable,  // the cluster's FAT entry cannot be read: fatError() says why
  };

  // `view` must outlive the walk. The walk stands on `first` unless that
  // lies outside the volume.
  DirectoryChain(VolumeView& view, uint32_t first, Scope scope = Scope::kWholeChain);

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
  Scope scope_;
  uint32_t cluster_;
  bool at_cluster_;
  ReadError fat_error_;
};

}  // namespace quorvane
