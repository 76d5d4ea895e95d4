#pragma once
// WalkDirectory's body, inline: the search walks every entry of a volume
// through it, and a call per entry through a function pointer would cost it.
#include "volume/format/dir_entry.h"

namespace quorvane {

template <typename Gate, typename Visitor>
WalkEnd WalkDirectory(VolumeView& view, const DirectoryExtent& extent, Gate&& gate,
                      Visitor&& visit) {
  WalkEnd end;
  DirectoryChain chain(view, extent);
  for (bool first = true; chain.AtCluster(); first = false) {
    if (!gate(chain.cluster())) {
      end.kind = WalkEnd::Kind::kStopped;
      return end;
    }
    const auto bytes = chain.Read();
    if (!bytes) {
      end.kind = WalkEnd::Kind::kUnreadable;
      end.error = bytes.error();
      end.atFirstCluster = first;
      return end;
    }
    const std::span<const uint8_t> cluster(**bytes);
    WalkedEntry entry;
    entry.cluster = cluster;
    entry.clusterNumber = chain.cluster();
    for (size_t i = 0; i < EntriesIn(cluster); ++i) {
      entry.raw = EntryBytes(cluster, i);
      entry.index = i;
      if (visit(static_cast<const WalkedEntry&>(entry)) == Visit::kStop) {
        end.kind = WalkEnd::Kind::kStopped;
        return end;
      }
    }
    if (chain.Advance() == DirectoryChain::Step::kFatUnreadable) {
      end.kind = WalkEnd::Kind::kUnreadable;
      end.error = chain.fatError();
      return end;
    }
  }
  return end;
}

}  // namespace quorvane
