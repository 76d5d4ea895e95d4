#pragma once
// An exFAT directory as its entry sets, through the one directory walk: a
// set may run across a cluster boundary, so the walk feeds one reader for
// the whole directory and hands each whole file or directory set on.
#include <algorithm>
#include <cstdint>
#include <variant>

#include "volume/format/directory_walk.h"
#include "volume/format/exfat_entry_set.h"
#include "volume/format/fat_params.h"

namespace quorvane {

// Hands every file or directory set of the directory at `extent` to
// `take`, in order, until it returns true; `gate` as WalkDirectory takes it.
// How the walk ended.
template <typename Take, typename Gate>
WalkEnd ForEachExFatSet(VolumeView& view, const DirectoryExtent& extent, Take&& take, Gate&& gate) {
  ExFatEntrySetReader sets;
  bool stop = false;
  auto hand_on = [&] {
    while (!stop) {
      const auto item = sets.Next();
      if (!item) return;
      if (const auto* set = std::get_if<ExFatFileSet>(&*item)) stop = take(*set);
    }
  };
  const WalkEnd end = WalkDirectory(view, extent, gate, [&](const WalkedEntry& at) {
    sets.Add(at.raw);
    hand_on();
    return stop || sets.AtEnd() ? Visit::kStop : Visit::kGoOn;
  });
  if (!stop) {
    sets.Finish();  // a set the directory's last cluster leaves open is damaged
    hand_on();
  }
  return end;
}

template <typename Take>
WalkEnd ForEachExFatSet(VolumeView& view, const DirectoryExtent& extent, Take&& take) {
  return ForEachExFatSet(view, extent, take, [](uint32_t) { return true; });
}

// Where the directory of `set` lies: a NoFatChain directory in the clusters
// its length needs; a chained one along its chain, or, inside a deleted
// directory (where the chain may be freed), its first cluster only.
inline DirectoryExtent ExFatDirectoryExtent(const FatParams& params, const ExFatFileSet& set,
                                            bool inside_deleted) {
  const uint64_t cluster_bytes = std::max<uint32_t>(1, params.ClusterBytes());
  const uint64_t clusters = (set.size + cluster_bytes - 1) / cluster_bytes;
  return {set.firstCluster,
          inside_deleted && !set.noFatChain ? DirectoryScope::kFirstClusterOnly : DirectoryScope::kWholeChain,
          set.noFatChain, static_cast<uint32_t>(std::min<uint64_t>(clusters, UINT32_MAX))};
}

}  // namespace quorvane
