#pragma once
// Where a walk enters a directory entry it matched. The entry's first
// cluster, or one rebuilt for it (a delete of the NT family clears the high
// word), must lie in the volume; and a deleted directory, or one below it,
// is entered only while that cluster still begins with its own "." (naming
// the cluster itself) and ".." (naming the parent) entries: its clusters
// were freed with it, and once another file or directory takes the cluster
// its bytes are no longer this directory's.
// Every walk (the search, the recovery's lookup, the long-path lookup)
// enters directories through here, so that a listed path leads the lookup
// to the directory the search read.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "volume/format/dir_entry.h"
#include "volume/format/volume_view.h"

namespace quorvane {

// Whether `cluster` begins with "." naming `cluster` itself, then ".."
// naming `parent` (0 for the root, which some systems write as the root's
// own cluster), both directories, as the first two short entries. A sector
// that cannot be read proves nothing.
bool BeginsWithOwnDotEntries(VolumeView& view, uint32_t cluster, uint32_t parent);

// The cluster a deleted directory entry began at when its own is not to be
// trusted; none to keep its own. Given the entry, its parent's first
// cluster (0 for the root) and the directory cluster that holds the entry.
using DirectoryClusterRebuild =
    std::function<std::optional<uint32_t>(VolumeView& view, const DirEntry& entry, uint32_t parent,
                                          std::span<const uint8_t> siblings)>;

struct DirectoryStep {
  uint32_t parent = 0;                // the parent's first cluster, 0 for the root
  std::span<const uint8_t> siblings;  // the directory cluster holding the entry
  // The entry's name holds the deleted mark, or a directory above it did.
  bool insideDeleted = false;
  const DirectoryClusterRebuild* rebuild = nullptr;  // none: the stored cluster
};

// The first cluster to walk the directory of `entry` from, or none when it
// cannot be entered.
std::optional<uint32_t> EnteredDirectoryCluster(VolumeView& view, const DirEntry& entry,
                                                const DirectoryStep& step);

}  // namespace quorvane
