#include "recovery/rebuilt_cluster.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "recovery/content_signature.h"
#include "volume/format/long_name.h"

namespace quorvane {
namespace {

constexpr uint32_t kLowWordClusters = 65536;

struct Candidate {
  uint32_t cluster = 0;
  bool consecutive = false;  // the clusters the size needs follow it, all free
  ContentVerdict content = ContentVerdict::kUnknown;
  bool provenDirectory = false;
  uint64_t distance = std::numeric_limits<uint64_t>::max();
};

uint32_t ClustersFor(uint32_t size, uint32_t cluster_bytes) {
  return std::max<uint32_t>(1, size / cluster_bytes + (size % cluster_bytes != 0 ? 1 : 0));
}

// Whether `needed` free clusters can be taken from `first` on, stepping over
// clusters in use, before the volume ends; `consecutive` says whether they
// follow each other. A FAT that cannot be read counts as no room.
bool HasRoom(VolumeView& view, uint32_t first, uint32_t needed, bool& consecutive) {
  const uint32_t last = view.params().LastCluster();
  consecutive = true;
  uint32_t taken = 0;
  for (uint32_t c = first; taken < needed; ++c) {
    if (c < kFirstDataCluster || c > last) return false;
    const auto fat = view.FatEntryAlone(c);
    if (!fat) return false;
    if (*fat == 0) {
      ++taken;
    } else {
      if (c == first) return false;  // the first cluster itself is in use
      consecutive = false;
    }
  }
  return true;
}

// The first sector of a cluster: all the content judge and a directory's
// "." and ".." need.
ReadResult<std::span<const uint8_t>> FirstSector(VolumeView& view, uint32_t cluster) {
  return view.ReadOneSector(view.params().ClusterToSector(cluster));
}

// A directory's first cluster begins with "." naming itself and ".." naming
// its parent, both with their whole cluster numbers.
bool ProvesDirectory(VolumeView& view, uint32_t cluster, uint32_t parent) {
  const auto bytes = FirstSector(view, cluster);
  if (!bytes) return false;
  const DirEntry dot = DirEntry::Parse(EntryBytes(*bytes, 0));
  const DirEntry dotdot = DirEntry::Parse(EntryBytes(*bytes, 1));
  return dot.NameBytes() == ".       " && dot.FirstCluster() == cluster &&
         dotdot.NameBytes() == "..      " && dotdot.FirstCluster() == parent;
}

// Whether two parsed entries are one entry: the same name, attribute, size,
// times and cluster words.
bool SameEntry(const DirEntry& a, const DirEntry& b) {
  return a.name == b.name && a.ext == b.ext && a.attr == b.attr && a.fileSize == b.fileSize &&
         a.createTenths == b.createTenths && a.createTime == b.createTime &&
         a.createDate == b.createDate && a.writeTime == b.writeTime && a.writeDate == b.writeDate &&
         a.clusterHigh == b.clusterHigh && a.clusterLow == b.clusterLow;
}

// Whether another deleted file beside `entry` may have begun at `cluster`:
// one that lost its high word too and kept the same low word has the same
// candidates, and only first bytes that contradict its own name (its long
// name's extension where it has one) rule it out.
bool AnotherMayHaveBegunAt(VolumeView& view, const DirEntry& entry, std::span<const uint8_t> siblings,
                           uint32_t cluster) {
  std::optional<ReadResult<std::span<const uint8_t>>> head;  // valid while nothing else is read
  DeletedLongNameCollector long_names;
  for (size_t i = 0; i < EntriesIn(siblings); ++i) {
    const auto raw = EntryBytes(siblings, i);
    const DirEntry other = DirEntry::Parse(raw);
    if (other.IsEnd()) break;
    if (other.IsLongNamePart()) {
      long_names.AddPart(raw);
      continue;
    }
    if (!other.IsDeleted()) {
      long_names.Forget();
      continue;
    }
    const auto long_name = long_names.TakeFor(other);
    if (other.IsDirectory() || other.IsVolumeLabel() || other.fileSize == 0 || other.clusterHigh != 0 ||
        other.clusterLow != entry.clusterLow || SameEntry(other, entry))
      continue;
    if (!head) head = FirstSector(view, cluster);
    if (!*head) return true;  // nothing read, nothing ruled out
    const std::string extension =
        long_name ? ExtensionOfLongName(long_name->longName) : std::string(other.ExtBytes());
    const size_t n = std::min<size_t>((*head)->size(), other.fileSize);
    if (JudgeContent(extension, (*head)->first(n)) != ContentVerdict::kContradicts)
      return true;
  }
  return false;
}

}  // namespace

std::vector<uint32_t> WholeFirstClusters(std::span<const uint8_t> cluster) {
  std::vector<uint32_t> found;
  found.reserve(EntriesIn(cluster));
  for (size_t i = 0; i < EntriesIn(cluster); ++i) {
    const DirEntry entry = DirEntry::Parse(EntryBytes(cluster, i));
    if (entry.IsEnd()) break;
    if (entry.IsLongNamePart() || entry.IsDotEntry() || entry.FirstCluster() == 0) continue;
    if (!entry.IsDeleted() || entry.clusterHigh != 0) found.push_back(entry.FirstCluster());
  }
  return found;
}

const std::vector<uint32_t>& NeighbourClusters::Of(std::span<const uint8_t> cluster) {
  if (cluster.size() != bytes_.size() ||
      (!cluster.empty() && std::memcmp(cluster.data(), bytes_.data(), cluster.size()) != 0)) {
    bytes_.assign(cluster.begin(), cluster.end());
    clusters_ = WholeFirstClusters(cluster);
  }
  return clusters_;
}

bool MayHaveLostHighWord(const DirEntry& entry, const FatParams& params) {
  return entry.IsDeleted() && entry.clusterHigh == 0 &&
         (entry.clusterLow != 0 || entry.IsDirectory() || entry.fileSize != 0) &&
         params.LastCluster() >= kLowWordClusters;
}

DirectoryClusterRebuild ClearedHighWordRebuild(NeighbourClusters* neighbours) {
  return [neighbours](VolumeView& view, const DirEntry& entry, uint32_t parent,
                      std::span<const uint8_t> siblings) -> std::optional<uint32_t> {
    if (!MayHaveLostHighWord(entry, view.params())) return std::nullopt;
    RebuildHints hints;
    hints.parentCluster = parent;
    hints.siblings = siblings;
    hints.neighbours = neighbours;
    const auto rebuilt = RebuildFirstCluster(view, entry, hints);
    if (!rebuilt) return std::nullopt;
    return rebuilt->cluster;
  };
}

std::optional<RebuiltCluster> RebuildFirstCluster(VolumeView& view, const DirEntry& entry,
                                                  const RebuildHints& hints) {
  const FatParams& params = view.params();
  const uint32_t last = params.LastCluster();
  const bool directory = entry.IsDirectory();
  const uint32_t needed =
      directory ? 1 : ClustersFor(entry.fileSize, std::max<uint32_t>(1, params.ClusterBytes()));
  std::vector<Candidate> candidates;
  candidates.reserve(std::min<uint32_t>(64, last / kLowWordClusters + 1));
  for (uint64_t cluster = entry.clusterLow; cluster <= last; cluster += kLowWordClusters) {
    Candidate c;
    c.cluster = static_cast<uint32_t>(cluster);
    if (!HasRoom(view, c.cluster, needed, c.consecutive)) continue;
    candidates.push_back(c);
  }
  if (candidates.empty()) return std::nullopt;
  if (directory && candidates.size() == 1) return RebuiltCluster{candidates.front().cluster, false};

  // Content: a directory proves itself; a file's first bytes must not
  // contradict its name, unless every candidate's do.
  const ContentJudge judge(hints.extension);
  const bool judged = directory || judge.Judges();
  for (Candidate& c : candidates) {
    if (!judged) break;
    if (directory) {
      c.provenDirectory = ProvesDirectory(view, c.cluster, hints.parentCluster);
      continue;
    }
    if (const auto bytes = FirstSector(view, c.cluster)) {
      const size_t head = std::min<size_t>(bytes->size(), std::max<uint32_t>(1, entry.fileSize));
      c.content = judge(bytes->first(head));
    }
  }
  auto drop_unless_some_left = [&](auto&& keep) {
    if (std::any_of(candidates.begin(), candidates.end(), keep))
      std::erase_if(candidates, [&](const Candidate& c) { return !keep(c); });
  };
  if (directory) {
    drop_unless_some_left([](const Candidate& c) { return c.provenDirectory; });
  } else {
    drop_unless_some_left([](const Candidate& c) { return c.content != ContentVerdict::kContradicts; });
    drop_unless_some_left([](const Candidate& c) { return c.content == ContentVerdict::kMatches; });
  }

  // Among those left: room in one run first, then the nearest to the
  // entries beside it.
  if (candidates.size() > 1) {
    std::vector<uint32_t> read_here;
    const std::vector<uint32_t>& neighbours =
        hints.neighbours ? hints.neighbours->Of(hints.siblings)
                         : (read_here = WholeFirstClusters(hints.siblings));
    for (uint32_t n : neighbours) {
      if (n < kFirstDataCluster || n > last) continue;  // outside the volume
      for (Candidate& c : candidates)
        c.distance = std::min<uint64_t>(c.distance, n > c.cluster ? n - c.cluster : c.cluster - n);
    }
  }
  const auto best = std::min_element(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    if (a.consecutive != b.consecutive) return a.consecutive;
    return a.distance < b.distance;
  });
  // One file left is still a guess when its first bytes contradict its name
  // or another deleted file beside it may have begun there.
  bool guessed = candidates.size() > 1;
  if (!directory && !guessed)
    guessed = best->content == ContentVerdict::kContradicts ||
              AnotherMayHaveBegunAt(view, entry, hints.siblings, best->cluster);
  return RebuiltCluster{best->cluster, guessed};
}

}  // namespace quorvane
