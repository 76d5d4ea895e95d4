#pragma once
// Directory clusters no walk reaches. A deleted directory whose own entry
// another file's has since replaced still has its first cluster, beginning
// with "." naming itself and ".." naming its parent; a later cluster of a
// deleted directory may be one its first no longer leads to. Both are free
// clusters told by their bytes. The scan reads each free cluster (small
// ones a run at a time; of large ones the first sector) (at most kOrphanScanClusters of them, from the volume's
// start; on FAT32 up to a little past the cluster the system allocated
// last, as its FSInfo sector tells), and the whole cluster only where that
// sector reads as directory entries.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "volume/format/volume_view.h"

namespace quorvane {

inline constexpr uint32_t kOrphanScanClusters = 1u << 20;
// Clusters of 4 KiB and less are read in runs of up to this many bytes.
inline constexpr uint32_t kOrphanScanRunBytes = 256u << 10;

struct OrphanDirectory {
  uint32_t cluster = 0;
  // From "..": 0 for the root. None for a cluster without "." and "..".
  std::optional<uint32_t> parent;
};

struct OrphanScan {
  std::vector<OrphanDirectory> found;  // in cluster order
  bool complete = true;                // every free cluster of the volume was examined
};

// Whether `bytes`, the whole of cluster `cluster`, reads as a directory's
// first cluster (sets `parent`) or as a later one (leaves it empty).
bool ReadsAsOrphanDirectory(std::span<const uint8_t> bytes, uint32_t cluster,
                            const FatParams& params, std::optional<uint32_t>& parent);

// The free clusters of a FAT12/16/32 volume that read as directory clusters,
// leaving out those `reached` says the walks read. Stops early, incomplete,
// when `abort` is raised.
OrphanScan FindOrphanDirectories(VolumeView& view, const std::function<bool(uint32_t)>& reached,
                                 const std::atomic<int32_t>& abort);

// Rows name an orphan directory by its cluster, in 8 hex digits (a name
// the lookup can walk back), under its parent where ".." names a directory
// the search reached, else under this folder of the root.
inline constexpr std::string_view kOrphansFolder = "ORPHANS";
std::string OrphanComponent(uint32_t cluster);

// The orphan directory a path component names: below the directory whose
// first cluster is `parent` (0 for the root), one whose ".." names it; in
// the orphans folder (`in_orphans_folder`), any. None when the component is
// no such name or its cluster is not, or no longer, an orphan directory.
std::optional<uint32_t> OrphanNamedBy(VolumeView& view, std::string_view component, uint32_t parent,
                                      bool in_orphans_folder);

}  // namespace quorvane
