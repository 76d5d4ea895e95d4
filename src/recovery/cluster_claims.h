#pragma once
// What the deleted entries of a volume say of its free clusters. Each
// deleted entry whose first cluster is still free claims that cluster, and
// the run of free clusters that follow it as far as its size reaches. A
// copy made by the free-cluster rule steps over the clusters other entries
// claim, so that a fragmented file whose gap held another deleted file is
// not rebuilt as a mixture of the two.
//
// Which entry keeps a cluster two of them claim is decided by evidence: a
// first cluster outweighs a run that merely covers it, so a run ends where
// another entry's first cluster lies (what it would have gone on to cover
// stays as a weaker claim, which makes the clusters contested). Entries
// with the same first cluster: the one whose content fits its extension,
// else the first found, keeps the run.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class OpenedVolume;
class VolumeView;

class ClusterClaims {
 public:
  // One deleted entry's evidence: its first cluster, the clusters its size
  // needs, and its extension (for judging content in a tie).
  struct Entry {
    uint32_t first = 0;
    uint32_t clusters = 1;
    std::string extension;
  };

  // Walks every directory reachable from the root, live and deleted, once
  // each and no deeper than the search goes, and gathers the deleted
  // entries. Stops early (with what it gathered) when `abort` is raised.
  static ClusterClaims Gather(OpenedVolume& volume, const std::atomic<int32_t>& abort);
  // The claims of `entries` (first clusters not free are left out here).
  static ClusterClaims Of(VolumeView& view, std::vector<Entry> entries);

  // For the copy of the entry that begins at `own_first`: the last cluster
  // of another entry's claim that holds `cluster`, none when no other
  // entry's claim holds it.
  std::optional<uint32_t> OtherClaimEnd(uint32_t cluster, uint32_t own_first) const;
  // The first cluster after `cluster` held by another entry's claim;
  // UINT32_MAX when none is.
  uint32_t NextOtherClaim(uint32_t cluster, uint32_t own_first) const;
  // Another entry's weaker claim (the part of its run that lost to a first
  // cluster) covers `cluster` as well.
  bool ContestedAt(uint32_t cluster, uint32_t own_first) const;

  // How an entry of `size_clusters` at `first` stands among entries with
  // the same first cluster.
  enum class Standing { kAlone, kKept, kLost };
  Standing StandingOf(uint32_t first, uint32_t size_clusters) const;

  // Deleted entries whose claims were counted.
  size_t entries() const { return counted_; }

 private:
  struct Run {
    uint32_t first = 0, last = 0;  // the clusters it holds
  };
  struct Tie {
    uint32_t first = 0;
    uint32_t winnerClusters = 0;
    bool oneSize = false;  // every entry there needs the same clusters: no winner to tell
  };
  // Stretches of clusters and how many weaker claims cover them; with one,
  // `owner` names the first cluster of the entry it comes from.
  struct Cover {
    uint32_t first = 0, last = 0;
    uint32_t count = 0;
    uint32_t owner = 0;
  };
  const Run* RunHolding(uint32_t cluster) const;

  std::vector<Run> runs_;       // sorted, disjoint
  std::vector<Tie> ties_;       // sorted by first cluster
  std::vector<Cover> covers_;   // sorted, disjoint
  size_t counted_ = 0;
};

}  // namespace quorvane
