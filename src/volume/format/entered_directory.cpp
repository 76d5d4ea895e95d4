#include "volume/format/entered_directory.h"

namespace quorvane {
namespace {

bool IsDotName(const DirEntry& entry, std::string_view name) {
  return entry.NameBytes() == name && entry.ExtBytes() == "   " && entry.IsDirectory();
}

}  // namespace

bool BeginsWithOwnDotEntries(VolumeView& view, uint32_t cluster, uint32_t parent) {
  const FatParams& params = view.params();
  const auto sector = view.ReadOneSector(params.ClusterToSector(cluster));
  if (!sector) return false;
  // The first two short entries; long-name parts before them are skipped.
  DirEntry entries[2];
  size_t found = 0;
  for (size_t i = 0; i < EntriesIn(*sector) && found < 2; ++i) {
    const DirEntry entry = DirEntry::Parse(EntryBytes(*sector, i));
    if (entry.IsLongNamePart()) continue;
    entries[found++] = entry;
  }
  if (found < 2) return false;
  const uint32_t named_parent = params.FirstClusterOf(entries[1]);
  return IsDotName(entries[0], ".       ") && params.FirstClusterOf(entries[0]) == cluster &&
         IsDotName(entries[1], "..      ") &&
         (named_parent == parent ||
          (parent == 0 && named_parent == static_cast<uint32_t>(params.m_nRootCluster)));
}

std::optional<uint32_t> EnteredDirectoryCluster(VolumeView& view, const DirEntry& entry,
                                                const DirectoryStep& step) {
  const FatParams& params = view.params();
  uint32_t cluster = params.FirstClusterOf(entry);
  if (step.rebuild && *step.rebuild) {
    if (const auto rebuilt = (*step.rebuild)(view, entry, step.parent, step.siblings)) cluster = *rebuilt;
  }
  if (!params.IsClusterInVolume(cluster)) return std::nullopt;
  if (step.insideDeleted && !BeginsWithOwnDotEntries(view, cluster, step.parent)) return std::nullopt;
  return cluster;
}

}  // namespace quorvane
