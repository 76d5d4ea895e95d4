#pragma once
// The one walk over a directory's entries that the path lookup, the engine,
// the search and the long-path code all take. It reads the directory
// cluster by cluster along its chain (the fixed root region of FAT12/16 as
// one piece; a contiguous exFAT directory by its length), hands each 32-byte
// entry to a visitor, and holds in one place what ends a walk:
//  - the loop guard: a chain that leaves the volume, comes back to a
//    cluster already walked or grows past the largest directory ends there,
//    as its end mark would;
//  - the read-failure policy: a cluster or FAT sector that cannot be read
//    ends the walk with kUnreadable and the reason; whether that was the
//    directory's first cluster is said, since a directory whose first
//    cluster cannot be read is one the caller could not read at all;
//  - a walk inside a deleted directory reads its first cluster only, since
//    its FAT entries have been freed and may since belong to other files.
#include <cstdint>
#include <span>

#include "volume/format/directory_chain.h"
#include "volume/format/volume_view.h"
#include "volume/read_error.h"

namespace quorvane {

// One entry as the walk hands it over.
struct WalkedEntry {
  std::span<const uint8_t> raw;      // its 32 bytes
  std::span<const uint8_t> cluster;  // the whole directory cluster holding it
  uint32_t clusterNumber = 0;        // that cluster (kRootRegion for the fixed root)
  size_t index = 0;                  // the entry's place in its cluster
};

enum class Visit { kGoOn, kStop };

struct WalkEnd {
  enum class Kind {
    kEnd,         // the chain ended (its end mark, the guard, the scope)
    kStopped,     // the visitor or the cluster gate stopped it
    kUnreadable,  // a directory cluster or its FAT entry could not be read
  };
  Kind kind = Kind::kEnd;
  ReadError error;               // for kUnreadable
  bool atFirstCluster = false;   // for kUnreadable: the first cluster itself failed
};

// Walks the directory at `extent`. `gate(cluster)` is asked before each
// cluster is read and may stop the walk (a search's read budget, an abort);
// `visit(entry)` sees each entry in order and may stop it.
template <typename Gate, typename Visitor>
WalkEnd WalkDirectory(VolumeView& view, const DirectoryExtent& extent, Gate&& gate,
                      Visitor&& visit);

// The same without a gate.
template <typename Visitor>
WalkEnd WalkDirectory(VolumeView& view, const DirectoryExtent& extent, Visitor&& visit) {
  return WalkDirectory(view, extent, [](uint32_t) { return true; }, visit);
}

}  // namespace quorvane

#include "volume/format/directory_walk_impl.h"
