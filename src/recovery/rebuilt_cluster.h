#pragma once
// The first cluster of a file or directory deleted by a system of the
// Windows NT family. Those systems clear the high word of the first cluster
// when they delete on FAT32 and keep the low word, so on a volume of more
// than 65,536 clusters the file began at h * 65536 + low for some h. The
// candidates are judged by evidence, cheapest first: inside the volume; free
// in the FAT with room for the clusters the size needs (taken as the copy
// takes them); content that begins as the name says; for a directory, its
// own "." and ".." entries; and last, closeness to the clusters of the
// entries beside it. A file's cluster is a guess when more than one
// candidate is left, when the one left does not begin as the name says, or
// when another deleted file beside it kept the same low word and its name
// does not rule that cluster out.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "volume/format/dir_entry.h"
#include "volume/format/entered_directory.h"
#include "volume/read_error.h"
#include "volume/format/volume_view.h"

namespace quorvane {

// The whole first clusters of a directory cluster's entries (see
// WholeFirstClusters), kept for the next entry of the same cluster: a
// directory's deleted entries are judged one after another.
class NeighbourClusters {
 public:
  const std::vector<uint32_t>& Of(std::span<const uint8_t> cluster);

 private:
  std::vector<uint8_t> bytes_;  // the cluster they were read from
  std::vector<uint32_t> clusters_;
};

struct RebuildHints {
  std::string_view extension;  // the long name's, else the stored one
  uint32_t parentCluster = 0;  // a directory's parent (0 for the root)
  // The directory cluster holding the entry: the first clusters of the
  // entries beside it are read from it, when it comes to closeness, and the
  // deleted files that share its low word.
  std::span<const uint8_t> siblings;
  // Where the siblings' clusters may be kept between calls; none reads
  // them afresh.
  NeighbourClusters* neighbours = nullptr;
};

struct RebuiltCluster {
  uint32_t cluster = 0;
  // More than one candidate was left after the evidence, or the one left
  // does not begin as the name says or may be another deleted file's.
  bool guessed = false;
};

// Whether a delete may have cleared the entry's high word: a deleted entry
// with high word 0, on a volume of more than 65,536 clusters, that had a
// first cluster (a directory, or a file of some size: a low word of 0 is
// cluster 65,536 or a later multiple of it).
bool MayHaveLostHighWord(const DirEntry& entry, const FatParams& params);

// The whole first clusters of the entries of a directory cluster: live
// entries, and deleted ones whose high word is still there.
std::vector<uint32_t> WholeFirstClusters(std::span<const uint8_t> cluster);

// The best candidate, or none when no candidate survives the evidence (every
// one in use, say). A read that fails leaves its candidate out.
std::optional<RebuiltCluster> RebuildFirstCluster(VolumeView& view, const DirEntry& entry,
                                                  const RebuildHints& hints);

// How walks rebuild the first cluster of a directory deleted by the NT
// family (see EnteredDirectoryCluster): the search and the recoveries'
// lookups alike, so that a listed path leads back to the cluster listed.
// `neighbours`, when given, keeps the sibling clusters between calls.
DirectoryClusterRebuild ClearedHighWordRebuild(NeighbourClusters* neighbours = nullptr);

}  // namespace quorvane
