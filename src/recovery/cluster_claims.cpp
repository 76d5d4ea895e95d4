#include "recovery/cluster_claims.h"

#include <algorithm>
#include <unordered_set>

#include "recovery/content_signature.h"
#include "recovery/search_context.h"
#include "volume/format/dir_entry.h"
#include "volume/format/directory_walk.h"
#include "volume/format/entered_directory.h"
#include "volume/format/exfat_directory.h"
#include "volume/format/opened_volume.h"
#include "volume/format/stored_name.h"

namespace quorvane {

namespace {

uint32_t ClustersOf(const FatParams& params, uint64_t size) {
  const uint64_t cluster_bytes = std::max<uint32_t>(1, params.ClusterBytes());
  return static_cast<uint32_t>(std::clamp<uint64_t>((size + cluster_bytes - 1) / cluster_bytes, 1, UINT32_MAX));
}

std::string TrimmedExtension(std::string_view ext) {
  return std::string(ext.substr(0, ext.find_last_not_of(' ') + 1));
}

// A directory still to be walked: where it lies (inside a deleted one, its
// first cluster and the clusters that read as its continuation), whether it or one above it was deleted, how deep.
struct Pending {
  DirectoryExtent extent;
  bool insideDeleted = false;
  size_t depth = 0;
};

void GatherFat(OpenedVolume& volume, const std::atomic<int32_t>& abort,
               std::vector<ClusterClaims::Entry>& entries) {
  VolumeView& view = volume.view();
  const FatParams& params = volume.params();
  const uint32_t root = volume.RootCluster();
  std::vector<Pending> pending{{DirectoryExtent{root}, false, 0}};
  std::unordered_set<uint32_t> walked{root};
  while (!pending.empty() && abort.load() == 0) {
    const Pending at_dir = pending.back();
    pending.pop_back();
    const uint32_t cluster = at_dir.extent.first;
    WalkDirectory(
        view, at_dir.extent,
        [&](uint32_t walked_cluster) {
          // A deleted directory's later clusters are its own too.
          if (at_dir.insideDeleted && walked_cluster != cluster) entries.push_back({walked_cluster, 1, {}});
          return abort.load() == 0;
        },
        [&](const WalkedEntry& at) {
          const DirEntry entry = DirEntry::Parse(at.raw);
          if (entry.IsDotEntry() || entry.IsLongNamePart()) return Visit::kGoOn;
          if (entry.name[0] == ' ' || entry.IsEnd()) return Visit::kStop;
          const bool deleted = at_dir.insideDeleted || entry.IsDeleted();
          if (WalkTakesAsDirectory(entry)) {
            if (entry.fileSize != 0 || at_dir.depth + 1 > kMaxSearchComponents) return Visit::kGoOn;
            DirectoryStep step;
            step.parent = cluster == root ? 0 : cluster;
            step.siblings = at.cluster;
            step.insideDeleted = deleted;
            const auto entered = EnteredDirectoryCluster(view, entry, step);
            if (!entered) return Visit::kGoOn;
            // A deleted directory's first cluster is its own while it still
            // holds its "." and ".." entries: one cluster of evidence.
            if (deleted) entries.push_back({*entered, 1, {}});
            // A deleted one goes on in the clusters that read as its continuation.
            const DirectoryScope scope =
                deleted ? DirectoryScope::kFirstClusterThenContinuations : DirectoryScope::kWholeChain;
            if (walked.insert(*entered).second)
              pending.push_back({DirectoryExtent{*entered, scope}, deleted, at_dir.depth + 1});
            return Visit::kGoOn;
          }
          if (deleted && WalkTakesAsFile(entry) && entry.fileSize != 0)
            entries.push_back({params.FirstClusterOf(entry), ClustersOf(params, entry.fileSize),
                               TrimmedExtension(entry.ExtBytes())});
          return Visit::kGoOn;
        });
  }
}

void GatherExFat(OpenedVolume& volume, const std::atomic<int32_t>& abort,
                 std::vector<ClusterClaims::Entry>& entries) {
  VolumeView& view = volume.view();
  const FatParams& params = volume.params();
  std::vector<Pending> pending{{DirectoryExtent{volume.RootCluster()}, false, 0}};
  std::unordered_set<uint32_t> walked{volume.RootCluster()};
  while (!pending.empty() && abort.load() == 0) {
    const Pending at_dir = pending.back();
    pending.pop_back();
    ForEachExFatSet(
        view, at_dir.extent,
        [&](const ExFatFileSet& set) {
          const bool deleted = at_dir.insideDeleted || set.deleted;
          if (!params.IsClusterInVolume(set.firstCluster)) return false;
          if (set.isDirectory) {
            if (deleted) entries.push_back({set.firstCluster, ClustersOf(params, set.size), {}});
            if (at_dir.depth + 1 <= kMaxSearchComponents && walked.insert(set.firstCluster).second)
              pending.push_back({ExFatDirectoryExtent(params, set, deleted), deleted, at_dir.depth + 1});
          } else if (deleted && set.size != 0) {
            const size_t dot = set.nameUtf8.rfind('.');
            entries.push_back({set.firstCluster, ClustersOf(params, set.size),
                               dot == std::string::npos ? std::string() : set.nameUtf8.substr(dot + 1)});
          }
          return false;
        },
        [&](uint32_t) { return abort.load() == 0; });
  }
}

}  // namespace

ClusterClaims ClusterClaims::Gather(OpenedVolume& volume, const std::atomic<int32_t>& abort) {
  std::vector<Entry> entries;
  if (volume.IsExFat())
    GatherExFat(volume, abort, entries);
  else
    GatherFat(volume, abort, entries);
  return Of(volume.view(), std::move(entries));
}

ClusterClaims ClusterClaims::Of(VolumeView& view, std::vector<Entry> entries) {
  const FatParams& params = view.params();
  auto free = [&](uint32_t cluster) {
    if (!params.IsClusterInVolume(cluster)) return false;
    const auto is_free = view.ClusterFree(cluster);
    return is_free && *is_free;
  };
  std::erase_if(entries, [&](const Entry& e) { return !free(e.first); });
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.first < b.first; });

  ClusterClaims claims;
  claims.counted_ = entries.size();
  struct Weak {
    uint32_t first, last, owner;
  };
  std::vector<Weak> weak;
  for (size_t group = 0; group < entries.size();) {
    const uint32_t first = entries[group].first;
    size_t end = group;
    uint32_t most = 0;
    while (end < entries.size() && entries[end].first == first) most = std::max(most, entries[end++].clusters);
    // The next entry's first cluster ends every run from here.
    const uint32_t next_first = end < entries.size() ? entries[end].first : UINT32_MAX;
    // The free clusters that follow one another from `first`, as far as
    // the largest size of the group reaches.
    uint32_t run = 1;
    while (run < most && free(first + run)) ++run;

    size_t winner = group;
    if (end - group > 1) {
      Tie tie{first, 0, true};
      for (size_t k = group; k < end; ++k) tie.oneSize = tie.oneSize && entries[k].clusters == entries[group].clusters;
      // The entry whose extension the content of the cluster fits keeps it.
      if (const auto cluster = view.ReadCluster(first)) {
        const std::span<const uint8_t> bytes(**cluster);
        for (size_t k = group; k < end; ++k) {
          if (JudgeContent(entries[k].extension, bytes) == ContentVerdict::kMatches) {
            winner = k;
            break;
          }
        }
      }
      tie.winnerClusters = entries[winner].clusters;
      claims.ties_.push_back(tie);
    }
    for (size_t k = group; k < end; ++k) {
      const uint32_t own_last = first + std::min(run, entries[k].clusters) - 1;
      if (own_last >= next_first) weak.push_back({next_first, own_last, first});
    }
    const uint32_t kept_last = first + std::min(run, entries[winner].clusters) - 1;
    claims.runs_.push_back({first, std::min(kept_last, next_first - 1)});
    group = end;
  }

  // Weaker claims overlap: cut them into stretches, each with how many
  // cover it and (when one does) whose it is. Owners are told apart by
  // their first clusters, folded by exclusive or: with one cover left it
  // is that cover's.
  struct Edge {
    uint64_t at;
    int delta;
    uint32_t owner;
  };
  std::vector<Edge> edges;
  for (const Weak& w : weak) {
    edges.push_back({w.first, +1, w.owner});
    edges.push_back({uint64_t{w.last} + 1, -1, w.owner});
  }
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.at < b.at; });
  uint32_t count = 0, owners = 0;
  for (size_t k = 0; k < edges.size();) {
    const uint64_t at = edges[k].at;
    for (; k < edges.size() && edges[k].at == at; ++k) {
      count += edges[k].delta;
      owners ^= edges[k].owner;
    }
    if (count != 0 && k < edges.size())
      claims.covers_.push_back({static_cast<uint32_t>(at), static_cast<uint32_t>(edges[k].at - 1), count, owners});
  }
  return claims;
}

const ClusterClaims::Run* ClusterClaims::RunHolding(uint32_t cluster) const {
  auto after = std::upper_bound(runs_.begin(), runs_.end(), cluster,
                                [](uint32_t c, const Run& run) { return c < run.first; });
  if (after == runs_.begin()) return nullptr;
  const Run& run = *std::prev(after);
  return cluster <= run.last ? &run : nullptr;
}

std::optional<uint32_t> ClusterClaims::OtherClaimEnd(uint32_t cluster, uint32_t own_first) const {
  const Run* run = RunHolding(cluster);
  if (run == nullptr || run->first == own_first) return std::nullopt;
  return run->last;
}

uint32_t ClusterClaims::NextOtherClaim(uint32_t cluster, uint32_t own_first) const {
  auto after = std::upper_bound(runs_.begin(), runs_.end(), cluster,
                                [](uint32_t c, const Run& run) { return c < run.first; });
  for (; after != runs_.end(); ++after)
    if (after->first != own_first) return after->first;
  return UINT32_MAX;
}

bool ClusterClaims::ContestedAt(uint32_t cluster, uint32_t own_first) const {
  auto after = std::upper_bound(covers_.begin(), covers_.end(), cluster,
                                [](uint32_t c, const Cover& cover) { return c < cover.first; });
  if (after == covers_.begin()) return false;
  const Cover& cover = *std::prev(after);
  if (cluster > cover.last) return false;
  return cover.count > 1 || cover.owner != own_first;
}

ClusterClaims::Standing ClusterClaims::StandingOf(uint32_t first, uint32_t size_clusters) const {
  auto found = std::lower_bound(ties_.begin(), ties_.end(), first,
                                [](const Tie& tie, uint32_t c) { return tie.first < c; });
  if (found == ties_.end() || found->first != first) return Standing::kAlone;
  return !found->oneSize && found->winnerClusters != size_clusters ? Standing::kLost : Standing::kKept;
}

}  // namespace quorvane
