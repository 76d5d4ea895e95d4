#include "volume/format/orphan_directories.h"

#include <algorithm>

#include "volume/format/dir_entry.h"
#include "volume/format/directory_continuation.h"
#include "volume/little_endian.h"

namespace quorvane {

namespace {

bool IsDotEntry(std::span<const uint8_t> slot, std::string_view name) {
  const DirEntry entry = DirEntry::Parse(slot);
  return (entry.attr & kAttrDirectory) && !entry.IsLongNamePart() &&
         std::equal(name.begin(), name.end(), slot.begin());
}

// The parent a cluster's "." and ".." name, when the bytes begin with them
// and "." names `cluster`.
std::optional<uint32_t> DotParent(std::span<const uint8_t> bytes, uint32_t cluster,
                                  const FatParams& params) {
  if (EntriesIn(bytes) < 2 || !IsDotEntry(EntryBytes(bytes, 0), ".          ") ||
      !IsDotEntry(EntryBytes(bytes, 1), "..         "))
    return std::nullopt;
  if (params.FirstClusterOf(DirEntry::Parse(EntryBytes(bytes, 0))) != cluster) return std::nullopt;
  const uint32_t parent = params.FirstClusterOf(DirEntry::Parse(EntryBytes(bytes, 1)));
  if (parent == 0 || parent == static_cast<uint32_t>(params.m_nRootCluster)) return 0u;
  if (!params.IsClusterInVolume(parent) || parent == cluster) return std::nullopt;
  return parent;
}

// The sector test, or the whole cluster's.
bool Reads(std::span<const uint8_t> bytes, uint32_t cluster, const FatParams& params,
           std::optional<uint32_t>& parent) {
  parent = DotParent(bytes, cluster, params);
  size_t short_entries = 0;
  if (parent) return SlotsReadAsEntries(bytes, 2, params, short_entries);
  return EntriesIn(bytes) > 0 && bytes[0] != 0 && bytes[0] != '.' &&
         SlotsReadAsEntries(bytes, 0, params, short_entries) && short_entries > 0;
}

// Past this many clusters after the last one the system says it
// allocated, clusters are taken never to have held a directory.
constexpr uint32_t kScanPastLastAllocated = 65536;

// The last cluster worth examining: on FAT32 a little past the FSInfo
// sector's next-free hint, the cluster the system allocated last (clusters
// are allocated upwards from it, so a directory deleted since lies below
// it, unless the volume filled up and allocation wrapped around to its
// start, which the margin partly covers); else the volume's last.
uint32_t LastClusterToScan(VolumeView& view) {
  const FatParams& params = view.params();
  const uint32_t last = params.LastCluster();
  if (params.m_family != VolumeFamily::kFat32) return last;
  const auto boot = view.ReadOneSector(0);
  if (!boot || boot->size() < 512) return last;
  const uint16_t fsinfo = LoadLe16(*boot, 48);
  if (fsinfo == 0 || fsinfo == 0xFFFF) return last;
  const auto info = view.ReadOneSector(fsinfo);
  if (!info || info->size() < 512 || LoadLe32(*info, 0) != 0x41615252 || LoadLe32(*info, 484) != 0x61417272)
    return last;
  const uint32_t hint = LoadLe32(*info, 492);
  if (!params.IsClusterInVolume(hint)) return last;
  return static_cast<uint32_t>(std::min<uint64_t>(last, uint64_t{hint} + kScanPastLastAllocated));
}

}  // namespace

bool ReadsAsOrphanDirectory(std::span<const uint8_t> bytes, uint32_t cluster,
                            const FatParams& params, std::optional<uint32_t>& parent) {
  return Reads(bytes, cluster, params, parent);
}

OrphanScan FindOrphanDirectories(VolumeView& view, const std::function<bool(uint32_t)>& reached,
                                 const std::atomic<int32_t>& abort) {
  OrphanScan scan;
  const FatParams& params = view.params();
  if (params.m_family == VolumeFamily::kExFat) return scan;
  const uint32_t cluster_bytes = params.ClusterBytes();
  // Small clusters are read a run at a time, which costs less than a read
  // of each first sector; of large ones only the first sector is read.
  const uint32_t run_limit = cluster_bytes <= 4096 ? kOrphanScanRunBytes / cluster_bytes : 1;
  std::vector<uint8_t> run_bytes(static_cast<size_t>(run_limit) * cluster_bytes);
  auto judge = [&](uint32_t cluster, std::span<const uint8_t> bytes) {
    std::optional<uint32_t> parent;
    if (!Reads(bytes.first(std::min<size_t>(bytes.size(), kSectorSize)), cluster, params, parent)) return;
    if (bytes.size() < cluster_bytes) {
      const auto whole = view.ReadCluster(cluster);
      if (!whole) return;
      bytes = **whole;
    }
    if (Reads(bytes, cluster, params, parent)) scan.found.push_back({cluster, parent});
  };
  uint32_t examined = 0;
  const uint32_t last = LastClusterToScan(view);
  scan.complete = last == params.LastCluster();
  for (uint32_t cluster = kFirstDataCluster; cluster <= last;) {
    if (abort.load(std::memory_order_relaxed) != 0 || examined >= kOrphanScanClusters) {
      scan.complete = false;
      break;
    }
    // The free clusters from here that no walk read, one after another.
    uint32_t count = 0;
    while (count < run_limit && cluster + count <= last && examined < kOrphanScanClusters) {
      const auto free = view.ClusterFree(cluster + count);
      if (!free || !*free || reached(cluster + count)) break;
      ++count;
      ++examined;
    }
    if (count == 0) {
      const auto free = view.ClusterFree(cluster);
      if (free && *free) ++examined;
      ++cluster;
      continue;
    }
    const std::span<uint8_t> bytes(run_bytes.data(), static_cast<size_t>(count) * cluster_bytes);
    if (run_limit > 1 && view.ReadClusterRun(cluster, count, bytes)) {
      for (uint32_t i = 0; i < count; ++i)
        judge(cluster + i, std::span<const uint8_t>(bytes).subspan(static_cast<size_t>(i) * cluster_bytes,
                                                                   cluster_bytes));
    } else {
      for (uint32_t i = 0; i < count; ++i)
        if (const auto sector = view.ReadOneSector(params.ClusterToSector(cluster + i)))
          judge(cluster + i, *sector);
    }
    cluster += count;
  }
  return scan;
}

std::string OrphanComponent(uint32_t cluster) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string name(8, '0');
  for (int i = 7; i >= 0; --i, cluster >>= 4) name[static_cast<size_t>(i)] = kDigits[cluster & 15];
  return name;
}

std::optional<uint32_t> OrphanNamedBy(VolumeView& view, std::string_view component, uint32_t parent,
                                      bool in_orphans_folder) {
  if (component.size() != 8) return std::nullopt;
  uint32_t cluster = 0;
  for (const char c : component) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    cluster = cluster * 16 + static_cast<uint32_t>(digit);
  }
  const FatParams& params = view.params();
  if (params.m_family == VolumeFamily::kExFat || !params.IsClusterInVolume(cluster)) return std::nullopt;
  const auto free = view.ClusterFree(cluster);
  if (!free || !*free) return std::nullopt;
  const auto bytes = view.ReadCluster(cluster);
  std::optional<uint32_t> named_parent;
  if (!bytes || !Reads(**bytes, cluster, params, named_parent)) return std::nullopt;
  if (!in_orphans_folder && named_parent != parent) return std::nullopt;
  return cluster;
}

}  // namespace quorvane
